#include <QGroupBox>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>

#include "reply/replystatus.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

// Stores one finished reply's translation with its language's button and
// advances the run; the reply that completes the count ends the run.
void MainWindow::parseReply(QNetworkReply *reply)
{
    // Nothing refers to a reply once it is reported; release it in every case.
    reply->deleteLater();

    if (translateBtn->text() == u"Translate"_s) {
        abortPendingReplies();
        return;
    }

    const QString serviceCode = pendingReplies.key(reply);
    if (serviceCode.isEmpty()) {
        // Not a reply of this run: it names no language and is not counted.
        return;
    }
    pendingReplies.remove(serviceCode);

    const QString result = tarnix::translationOfReply(*reply, entityTable);
    if (auto *button = tgtGroupBox->findChild<QPushButton *>(u"BTN_"_s + toUiCode(serviceCode))) {
        button->setToolTip(result);
        button->setEnabled(!result.isEmpty());
    }

    progressBar->setValue(progressBar->value() + 1);
    if (progressBar->value() == progressBar->maximum())
        finishTranslation();
}

void MainWindow::initEntityTable()
{
    tarnix::fillEntityTable(entityTable);
}

QString MainWindow::decodeEntity(QStringView body) const
{
    return tarnix::decodeEntity(entityTable, body);
}
