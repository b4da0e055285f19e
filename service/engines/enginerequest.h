#pragma once

#include <chrono>
#include <functional>

#include <QByteArray>
#include <QString>

class QNetworkAccessManager;
class QObject;
class QUrl;

namespace tarnix::service {

// How long an engine may take for one request before it counts as unavailable.
inline constexpr std::chrono::milliseconds engineTimeout {30000};

// The outcome of one HTTP exchange with an engine: the status and body of its
// answer, or a transport error (status 0, error set; timedOut when the engine
// was reached but gave nothing within the time limit).
struct EngineAnswer
{
    int httpStatus = 0;
    QByteArray body;
    QString error;
    bool timedOut = false;
};

// Posts `body` to `url` and calls `done` once with the answer. Redirects are
// not followed and the exchange is abandoned after `timeout` without progress.
void postToEngine(QNetworkAccessManager &net, const QUrl &url, const QByteArray &contentType, const QByteArray &body,
    std::chrono::milliseconds timeout, std::function<void(const EngineAnswer &)> done);

} // namespace tarnix::service
