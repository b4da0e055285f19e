#include "translate/request.h"

#include <QString>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace tarnix {

namespace {

constexpr QByteArrayView formTemplate = "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=%1&tl=%2&text=%3";

} // namespace

QByteArray encodeFormBody(
    const QString &sourceService, const QString &targetService, const QString &text, const QString &context)
{
    // toPercentEncoding keeps exactly the unreserved characters and writes
    // upper-case hex; every other byte, '&', '=', '+' and '%' included, is escaped.
    const QByteArray values[] = {
        sourceService.toUtf8().toPercentEncoding(),
        targetService.toUtf8().toPercentEncoding(),
        text.toUtf8().toPercentEncoding(),
    };

    QByteArray body;
    body.reserve(formTemplate.size() + values[0].size() + values[1].size() + values[2].size());
    // One pass over the template: a "%1" inside a value is never expanded again.
    for (qsizetype i = 0; i < formTemplate.size(); ++i) {
        const char c = formTemplate[i];
        if (c == '%' && i + 1 < formTemplate.size() && formTemplate[i + 1] >= '1' && formTemplate[i + 1] <= '3') {
            body += values[formTemplate[i + 1] - '1'];
            ++i;
        } else {
            body += c;
        }
    }
    if (!context.isEmpty())
        body += "&context=" + context.toUtf8().toPercentEncoding();
    return body;
}

QUrl serviceRequestUrl(QUrl service)
{
    service.setPath(u"/"_s);
    service.setQuery(QString());
    service.setFragment(QString());
    return service;
}

QNetworkRequest makeServiceRequest(const QUrl &url, qsizetype bodyLength)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
    request.setHeader(QNetworkRequest::ContentLengthHeader, bodyLength);
    return request;
}

} // namespace tarnix
