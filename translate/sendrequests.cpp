#include <QComboBox>
#include <QNetworkReply>
#include <QString>
#include <QTextEdit>
#include <QUrl>

#include "languages/windowcodes.h"
#include "translate/request.h"
#include "translate/serviceurl.h"
#include "ui/mainwindow.h"

// Posts one request per target at once and records each reply under the
// target's service code; the answers come back through parseReply().
void MainWindow::sendRequests(const QStringList &targets)
{
    const QString sourceUi = srcLangCombo->itemData(srcLangCombo->currentIndex(), Qt::UserRole).toString();
    const QString text = srcTextEdit->document()->toPlainText();
    const QString sourceService = toServiceCode(sourceUi);

    const QUrl url = tarnix::serviceRequestUrl(tarnix::serviceUrl());

    for (const QString &target : targets) {
        const QString targetService = toServiceCode(target);
        const QByteArray body = tarnix::encodeFormBody(sourceService, targetService, text);
        QNetworkReply *reply = netManager.post(tarnix::makeServiceRequest(url, body.size()), body);
        pendingReplies.insert(targetService, reply);
    }
}

QString MainWindow::toServiceCode(const QString &uiCode) const
{
    return tarnix::languages::toServiceCode(uiCode);
}

QString MainWindow::toUiCode(const QString &serviceCode) const
{
    return tarnix::languages::toUiCode(serviceCode);
}
