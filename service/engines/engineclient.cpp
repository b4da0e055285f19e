#include "service/engines/engineclient.h"

#include <algorithm>
#include <vector>

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// An HTTP date ("Fri, 02 Jan 2026 03:04:10 GMT", RFC 9110's preferred form).
QDateTime httpDate(const QByteArray &value)
{
    QDateTime at = QLocale::c().toDateTime(QString::fromLatin1(value), u"ddd, dd MMM yyyy HH:mm:ss 'GMT'"_s);
    at.setTimeZone(QTimeZone::utc());
    return at;
}

} // namespace

std::chrono::milliseconds retryDelay(const QByteArray &retryAfter, int attempt, const QDateTime &now)
{
    using std::chrono::milliseconds;
    const QByteArray value = retryAfter.trimmed();
    bool isNumber = false;
    const qint64 seconds = value.toLongLong(&isNumber);
    milliseconds wait {0};
    if (isNumber && seconds >= 0) {
        wait = milliseconds(std::min<qint64>(seconds, maxRetryWait.count() / 1000) * 1000);
    } else if (const QDateTime at = httpDate(value); at.isValid()) {
        wait = milliseconds(std::max<qint64>(now.msecsTo(at), 0));
    } else {
        wait = milliseconds(1000LL << std::clamp(attempt - 1, 0, 10));
    }
    return std::min(wait, maxRetryWait);
}

EngineClient::EngineClient(const QObject *engine, int limit, std::chrono::milliseconds budget, QObject *parent)
    : QObject(parent)
    , engine(engine)
    , limit(std::max(limit, 1))
    , budget(budget)
{
    wake.setSingleShot(true);
    connect(&wake, &QTimer::timeout, this, &EngineClient::pump);
}

void EngineClient::send(const EngineCall &call, std::function<void(const EngineAnswer &)> done)
{
    queue.push_back(Pending {call, std::move(done), QDeadlineTimer(budget), 0});
    // Later, from the event loop: an engine calls back only from there.
    QTimer::singleShot(0, this, &EngineClient::pump);
}

void EngineClient::fail(const Pending &pending, const QString &why)
{
    EngineAnswer answer;
    answer.error = why;
    pending.done(answer);
}

void EngineClient::pump()
{
    // Requests that cannot be sent before their time is up leave now (told
    // after the queue is settled: a callback may send again).
    const QDeadlineTimer sendable = pausedUntil.hasExpired() ? QDeadlineTimer(0) : pausedUntil;
    std::vector<Pending> expired;
    for (auto it = queue.begin(); it != queue.end();) {
        if (it->deadline.deadline() <= sendable.deadline()) {
            expired.push_back(std::move(*it));
            it = queue.erase(it);
        } else {
            ++it;
        }
    }
    for (const Pending &late : expired)
        fail(late,
            pausedUntil.hasExpired() ? u"no answer in time: every request slot stayed busy"_s
                                     : u"rate limited: the engine asked to wait longer than the time left"_s);
    if (!pausedUntil.hasExpired()) {
        wake.start(int(std::max<qint64>(pausedUntil.remainingTime(), 1)));
        return;
    }
    while (running < limit && !queue.empty()) {
        Pending next = std::move(queue.front());
        queue.pop_front();
        dispatch(std::move(next));
    }
    if (!queue.empty())
        wake.start(int(std::max<qint64>(queue.front().deadline.remainingTime(), 1)));
}

void EngineClient::dispatch(Pending pending)
{
    ++running;
    ++pending.attempts;
    const std::chrono::milliseconds left(pending.deadline.remainingTime());
    const EngineCall call = pending.call;
    sendToEngine(net, call, left, [this, pending = std::move(pending)](const EngineAnswer &answer) mutable {
        --running;
        finished(std::move(pending), answer);
        pump();
    });
}

void EngineClient::finished(Pending pending, const EngineAnswer &answer)
{
    if (answer.httpStatus == 429 && pending.attempts < maxAttempts) {
        const auto wait = retryDelay(answer.retryAfter, pending.attempts, QDateTime::currentDateTimeUtc());
        if (wait.count() < pending.deadline.remainingTime()) {
            if (pausedUntil.hasExpired() || pausedUntil.remainingTime() < wait.count())
                pausedUntil = QDeadlineTimer(wait);
            queue.push_front(std::move(pending));
            return;
        }
    }
    if (answer.httpStatus == 401 || answer.httpStatus == 403) {
        if (!keyRefused)
            qWarning().noquote()
                << u"%1 refused its API key (HTTP %2): check the key-file or key-env of its section in "
                   u"service.conf"_s.arg(engine->objectName())
                       .arg(answer.httpStatus);
        keyRefused = true;
    } else if (answer.httpStatus >= 200 && answer.httpStatus < 300) {
        keyRefused = false;
    }
    pending.done(answer);
}

} // namespace tarnix::service
