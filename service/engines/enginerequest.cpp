#include "service/engines/enginerequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "service/engines/engine.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

EngineResult httpFailure(const QString &engine, int httpStatus, const QString &message)
{
    QString why;
    if (httpStatus == 401 || httpStatus == 403)
        why = u"%1 refused the API key (HTTP %2)"_s.arg(engine).arg(httpStatus);
    else if (httpStatus == 429)
        why = u"%1 is rate limited (HTTP 429) for longer than a request may wait"_s.arg(engine);
    else
        why = u"%1 answered HTTP %2"_s.arg(engine).arg(httpStatus);
    if (!message.isEmpty())
        why += u": "_s + message.left(200);
    return EngineResult {EngineResult::Status::Unavailable, QString(), why, {}};
}

void sendToEngine(QNetworkAccessManager &net, const EngineCall &call, std::chrono::milliseconds timeout,
    std::function<void(const EngineAnswer &)> done)
{
    QNetworkRequest request(call.url);
    if (!call.contentType.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, call.contentType);
    for (const auto &[name, value] : call.headers)
        request.setRawHeader(name, value);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(int(std::max<qint64>(timeout.count(), 1)));
    QNetworkReply *reply = net.sendCustomRequest(request, call.method, call.body);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)]() {
        reply->deleteLater();
        EngineAnswer answer;
        answer.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (answer.httpStatus == 0) {
            answer.error = reply->errorString();
            // The transfer timeout aborts the reply.
            answer.timedOut = reply->error() == QNetworkReply::OperationCanceledError
                || reply->error() == QNetworkReply::TimeoutError;
        } else {
            answer.body = reply->readAll();
            answer.retryAfter = reply->rawHeader("Retry-After");
        }
        done(answer);
    });
}

} // namespace tarnix::service
