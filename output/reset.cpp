#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

#include "ui/mainwindow.h"

// Clears the source text, the info panel and every result. Leaves the
// source language, the ticks, the run's widgets and the clipboard alone.
void MainWindow::reset()
{
    srcTextEdit->setText(QString());
    infoGroupBox->setTitle(QString());
    infoLabel->setText(QString());
    i18nBtn->setEnabled(false);
    const auto buttons = tgtGroupBox->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        button->setEnabled(false);
        button->setToolTip(QString());
    }
}
