#pragma once

#include <QList>
#include <QString>

#include "fill/formats/catalog.h"

namespace tarnix::fill {

// One translation whose placeholders differ from its source's.
struct Finding
{
    int line = 0;
    QString what; // the service's words, naming the placeholder
};

// The service's placeholder check over an entry's translation, fuzzy or
// not. A plural entry's form 0 may follow either source (Russian uses it for
// 21 too, one-form languages for every number); the others follow the plural.
QList<Finding> checkEntry(const Entry &entry);

} // namespace tarnix::fill
