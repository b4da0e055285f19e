#pragma once

#include <QDateTime>
#include <QString>

namespace tarnix::service {

// One line per answered request, for stderr: UTC time, language pair ("-" when
// the request never named one), HTTP status, milliseconds, characters of text,
// the engine that answered when one did, and "from memory" when the
// translation memory answered for it. The text itself is never logged.
QString requestLogLine(const QDateTime &time, const QString &source, const QString &target, int status,
    qint64 milliseconds, qsizetype characters, const QString &engine = QString(), bool fromMemory = false);

} // namespace tarnix::service
