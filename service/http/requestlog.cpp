#include "service/http/requestlog.h"

#include "service/http/logescape.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

QString requestLogLine(const QDateTime &time, const QString &source, const QString &target, int status,
    qint64 milliseconds, qsizetype characters, const QString &engine, bool fromMemory)
{
    // The codes come from the request: keep the line one line whatever they hold.
    const auto code = [](const QString &text) {
        return text.isEmpty() ? u"-"_s : escapeForLog(QStringView(text).left(16));
    };
    const QString line =
        u"%1 %2>%3 %4 %5 ms %6 chars"_s.arg(time.toUTC().toString(Qt::ISODateWithMs), code(source), code(target))
            .arg(status)
            .arg(milliseconds)
            .arg(characters);
    return line + (engine.isEmpty() ? QString() : u" by "_s + engine) + (fromMemory ? u" from memory"_s : QString());
}

} // namespace tarnix::service
