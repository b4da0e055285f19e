#include "translate/request.h"

#include <QComboBox>
#include <QNetworkReply>
#include <QString>
#include <QTextEdit>
#include <QUrl>

#include "translate/serviceurl.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

namespace tarnix {

namespace {

constexpr QByteArrayView formTemplate = "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=%1&tl=%2&text=%3";

} // namespace

QByteArray encodeFormBody(const QString &sourceService, const QString &targetService, const QString &text)
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
    return body;
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

// Posts one request per target at once and records each reply under the
// target's service code; the answers come back through parseReply().
void MainWindow::sendRequests(const QStringList &targets)
{
    const QString sourceUi = srcLangCombo->itemData(srcLangCombo->currentIndex(), Qt::UserRole).toString();
    const QString text = srcTextEdit->document()->toPlainText();
    const QString sourceService = toServiceCode(sourceUi);

    // Always the service's root path, whatever the configured address holds.
    QUrl url = tarnix::serviceUrl();
    url.setPath(u"/"_s);
    url.setQuery(QString());
    url.setFragment(QString());

    for (const QString &target : targets) {
        const QString targetService = toServiceCode(target);
        const QByteArray body = tarnix::encodeFormBody(sourceService, targetService, text);
        QNetworkReply *reply = netManager.post(tarnix::makeServiceRequest(url, body.size()), body);
        pendingReplies.insert(targetService, reply);
    }
}
