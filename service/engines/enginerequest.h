#pragma once

#include <chrono>
#include <functional>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

namespace tarnix::service {

// How long an engine may take for one request before it counts as unavailable.
inline constexpr std::chrono::milliseconds engineTimeout {30000};

// One HTTP request to an engine.
struct EngineCall
{
    QByteArray method = QByteArrayLiteral("POST");
    QUrl url;
    QByteArray contentType; // none for a request without body
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers; // Authorization and the like
};

// The outcome of one HTTP exchange with an engine: the status and body of its
// answer, or a transport error (status 0, error set; timedOut when the engine
// was reached but gave nothing within the time limit).
struct EngineAnswer
{
    int httpStatus = 0;
    QByteArray body;
    QString error;
    QByteArray retryAfter; // the answer's Retry-After header, as sent
    bool timedOut = false;
};

// The result of an engine's HTTP error answer: a refused key (401, 403), a
// rate limit that outlasted its retries (429) or any other failure, with the
// server's own message.
struct EngineResult;
EngineResult httpFailure(const QString &engine, int httpStatus, const QString &message);

// Sends `call` and calls `done` once with the answer. Redirects are not
// followed and the exchange is abandoned after `timeout` without progress.
void sendToEngine(QNetworkAccessManager &net, const EngineCall &call, std::chrono::milliseconds timeout,
    std::function<void(const EngineAnswer &)> done);

} // namespace tarnix::service
