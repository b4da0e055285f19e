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
// not. A plural form may follow either source: languages use form 0 for
// other numbers than one ("%d file" in Russian for 21), and one-form
// languages say "%d files" for one too.
QList<Finding> checkEntry(const Entry &entry);

} // namespace tarnix::fill
