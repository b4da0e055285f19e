#include "ui/mainwindow.h"

void MainWindow::sendRequests(const QStringList &) { }
