#pragma once

#include <QDateTime>
#include <QString>

namespace tarnix::service {

// One line per answered request, for stderr: UTC time, language pair ("-" when
// the request never named one), HTTP status, milliseconds, characters of text,
// and the engine that answered, when one did. The text itself is never logged.
QString requestLogLine(const QDateTime &time, const QString &source, const QString &target, int status,
    qint64 milliseconds, qsizetype characters, const QString &engine = QString());

} // namespace tarnix::service
