#include "ui/mainwindow.h"

void MainWindow::translateClicked() { }

void MainWindow::abortPendingReplies() { }

void MainWindow::finishTranslation() { }
