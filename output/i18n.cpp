#include "ui/mainwindow.h"

void MainWindow::createI18N() {}
