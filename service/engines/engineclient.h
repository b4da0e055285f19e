#pragma once

#include <chrono>
#include <deque>
#include <functional>

#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>

#include "service/engines/enginerequest.h"

class QDateTime;

namespace tarnix::service {

// How long to wait before asking again after a 429 answer: its Retry-After
// (seconds or an HTTP date), else 1 s doubled with every attempt; never more
// than `maxRetryWait`.
inline constexpr std::chrono::milliseconds maxRetryWait {20000};
std::chrono::milliseconds retryDelay(const QByteArray &retryAfter, int attempt, const QDateTime &now);

// The HTTP side of one engine. At most `limit` exchanges are in flight, the
// rest wait in order: a paid or rate-limited engine sees no more than that,
// however many languages a run asks for. Each request has a time budget from
// the moment it is handed over, queueing included. A 429 answer pauses the
// whole engine for the wait it asks (the other requests would only meet the
// same refusal) and sends the request again, while its budget lasts and at
// most `maxAttempts` times. A refused key (401, 403) is logged once, until
// the engine accepts it again.
class EngineClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxAttempts = 4;

    // `engine` names the engine in the log (its objectName).
    EngineClient(const QObject *engine, int limit, std::chrono::milliseconds budget, QObject *parent = nullptr);

    void send(const EngineCall &call, std::function<void(const EngineAnswer &)> done);

    int inFlight() const { return running; }
    int concurrency() const { return limit; }

private:
    struct Pending
    {
        EngineCall call;
        std::function<void(const EngineAnswer &)> done;
        QDeadlineTimer deadline;
        int attempts = 0;
    };

    void pump();
    void dispatch(Pending pending);
    void finished(Pending pending, const EngineAnswer &answer);
    static void fail(const Pending &pending, const QString &why);

    QNetworkAccessManager net;
    const QObject *engine;
    int limit;
    std::chrono::milliseconds budget;
    std::deque<Pending> queue;
    int running = 0;
    QDeadlineTimer pausedUntil; // expired when not paused
    QTimer wake; // at the end of a pause, or when the first queued request runs out of time
    bool keyRefused = false;
};

} // namespace tarnix::service
