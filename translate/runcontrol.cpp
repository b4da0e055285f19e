#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

namespace {

// The caption of translateBtn is the run's state.
const QString idleCaption = u"Translate"_s;
const QString preparingCaption = u"Preparing"_s;
const QString runningCaption = u"Cancel translate"_s;
const QString cancellingCaption = u"Cancelling"_s;

constexpr qsizetype checkBoxPrefixLength = 3; // "CB_"

void enableLanguageBoxes(const QGroupBox *targets, bool enabled)
{
    const auto boxes = targets->findChildren<QCheckBox *>();
    for (QCheckBox *box : boxes)
        box->setEnabled(enabled);
}

} // namespace

// Starts a run when idle, cancels it when running; a press in any other state
// does nothing. An empty source text is refused in every state.
void MainWindow::translateClicked()
{
    if (srcTextEdit->document()->toPlainText().trimmed().isEmpty()) {
        infoGroupBox->setTitle(u"Warning"_s);
        infoLabel->setText(u"The translation source text is empty, nothing to be translated."_s);
        return;
    }

    if (translateBtn->text() == idleCaption) {
        translateBtn->setText(preparingCaption);
        srcLangCombo->setEnabled(false);
        srcTextEdit->setEnabled(false);

        const auto buttons = tgtGroupBox->findChildren<QPushButton *>();
        for (QPushButton *button : buttons) {
            button->setEnabled(false);
            button->setToolTip(QString());
        }

        const QString sourceUi = srcLangCombo->itemData(srcLangCombo->currentIndex(), Qt::UserRole).toString();
        int count = 0;
        QStringList targets;
        const auto boxes = tgtGroupBox->findChildren<QCheckBox *>();
        for (QCheckBox *box : boxes) {
            box->setEnabled(false);
            if (!box->isChecked())
                continue;
            const QString code = box->objectName().mid(checkBoxPrefixLength);
            if (code == sourceUi) {
                // The source language's result is the source text as typed.
                if (auto *button = tgtGroupBox->findChild<QPushButton *>(u"BTN_"_s + code)) {
                    button->setEnabled(true);
                    button->setToolTip(srcTextEdit->document()->toPlainText());
                }
            } else {
                ++count;
                targets.append(code);
            }
        }

        progressBar->setMaximum(count);
        progressBar->setValue(0);
        progressBar->show();
        // Each run starts on fresh connections: after connections were dropped
        // or reset, Qt 6.4's HTTP client now and then fails a request it never
        // sent or keeps one queued for good, more often the longer it runs.
        netManager.clearConnectionCache();
        sendRequests(targets);
        resetBtn->setEnabled(false);
        i18nBtn->setEnabled(false);
        translateBtn->setText(runningCaption);
    } else if (translateBtn->text() == runningCaption) {
        translateBtn->setText(cancellingCaption);
        srcLangCombo->setEnabled(true);
        srcTextEdit->setEnabled(true);
        enableLanguageBoxes(tgtGroupBox, true);
        progressBar->hide();
        // Each aborted reply is reported inside abort(); the last one ends the
        // run through finishTranslation(), which enables i18nBtn again.
        abortPendingReplies();
        resetBtn->setEnabled(true);
        translateBtn->setText(idleCaption);
    }
}

// Works on a snapshot: the reports raised inside abort() remove entries and
// may empty the map through finishTranslation().
void MainWindow::abortPendingReplies()
{
    const QList<QNetworkReply *> replies = pendingReplies.values();
    for (QNetworkReply *reply : replies) {
        reply->abort();
        reply->deleteLater();
    }
    pendingReplies.clear();
}

void MainWindow::finishTranslation()
{
    srcLangCombo->setEnabled(true);
    srcTextEdit->setEnabled(true);
    progressBar->hide();
    translateBtn->setText(idleCaption);
    resetBtn->setEnabled(true);
    i18nBtn->setEnabled(true);
    enableLanguageBoxes(tgtGroupBox, true);
    pendingReplies.clear();
}
