#pragma once

#include <algorithm>
#include <limits>

#include <QElapsedTimer>

#include "fill/formats/catalog.h"

// Reading a catalog with a format and writing a Spanish translation of every
// entry back, in memory: milliseconds, the best of three. `what` names the
// catalog in a failure.
template <typename Format>
double formatReadWrite(const tarnix::fill::CatalogFiles &files, const char *what, int pluralForms = 2)
{
    using namespace Qt::StringLiterals;
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        Format format;
        tarnix::fill::Catalog catalog;
        QString error;
        if (!format.read(files, catalog, error))
            qFatal("cannot read the %s: %s", what, qPrintable(error));
        QList<tarnix::fill::Fill> fills;
        for (const tarnix::fill::Entry &entry : std::as_const(catalog.entries))
            fills.append({entry.id, {u"[es] "_s + entry.source}});
        const tarnix::fill::WriteResult written = format.write(fills, u"es"_s, pluralForms);
        if (!written.ok || fills.isEmpty() || written.bytes.isEmpty())
            qFatal("cannot fill the %s: %s", what, qPrintable(written.error));
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}
