#include "httpclient.h"

#include <QBuffer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>

HttpAnswer httpExchange(QNetworkAccessManager &net, const QUrl &url, const QByteArray &method, const QByteArray &body,
    const QByteArray &contentType)
{
    QNetworkRequest request(url);
    if (!contentType.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = net.sendCustomRequest(request, method, body);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(60000);
    HttpAnswer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    answer.body = reply->readAll();
    reply->deleteLater();
    return answer;
}

QByteArray programForm(const QByteArray &source, const QByteArray &target, const QByteArray &encodedText)
{
    return "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=" + source + "&tl=" + target + "&text=" + encodedText;
}
