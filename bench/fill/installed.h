#pragma once

#include <optional>

#include <QProcess>
#include <QString>

#include "fill/formats/catalog.h"
#include "fill/formats/po.h"

// A catalog Debian installs (a .mo under /usr/share/locale) turned back into
// PO at `po` with msgunfmt and read; nothing when either fails.
inline std::optional<tarnix::fill::Catalog> installedCatalog(const QString &mo, const QString &po)
{
    using namespace Qt::StringLiterals;
    QProcess msgunfmt;
    msgunfmt.setStandardErrorFile(QProcess::nullDevice()); // its warnings about odd escapes
    msgunfmt.start(u"msgunfmt"_s, {mo, u"-o"_s, po});
    if (!msgunfmt.waitForFinished() || msgunfmt.exitCode() != 0)
        return std::nullopt;
    tarnix::fill::PoFormat format;
    tarnix::fill::Catalog catalog;
    QString error;
    if (!format.read(po, catalog, error))
        return std::nullopt;
    return catalog;
}
