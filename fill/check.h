#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "fill/formats/catalog.h"

namespace tarnix::fill {

// One fault of a translation, printed as "file:line: what".
struct Finding
{
    int line = 0;
    QString token; // the source's directive it is about; for one the source lacks, the translation's
    QString instead; // what the translation has in its place; empty when nothing
    QString what; // the whole message: "--sort: the translation has --trier instead"
};

// The service's placeholder check over an entry's translation, fuzzy or
// not, read as a person's translation (service/text/placeholdercheck.h):
// every difference, one finding each. A plural entry's form 0 may follow
// either source (Russian uses it for 21 too, one-form languages for every
// number); the others follow the plural. In a format whose plural forms go
// by CLDR category (`categories`, the catalog language's), the "one" form is
// that first one. An entry flagged icu-format is read with ICU's parser:
// its arguments, keywords and the plural categories of `language`. A
// plural by category that has some of its forms lacks the others.
QList<Finding> checkEntry(
    const Entry &entry, const QString &language = QString(), const QStringList &categories = QStringList());

} // namespace tarnix::fill
