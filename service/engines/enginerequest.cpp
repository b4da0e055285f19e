#include "service/engines/enginerequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace tarnix::service {

void postToEngine(QNetworkAccessManager &net, const QUrl &url, const QByteArray &contentType, const QByteArray &body,
    std::chrono::milliseconds timeout, std::function<void(const EngineAnswer &)> done)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(int(timeout.count()));
    QNetworkReply *reply = net.post(request, body);
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
        }
        done(answer);
    });
}

} // namespace tarnix::service
