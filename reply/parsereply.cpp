#include "ui/mainwindow.h"

void MainWindow::parseReply(QNetworkReply *) { }
