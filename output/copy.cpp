#include "ui/mainwindow.h"

void MainWindow::tgtBtnClicked() {}
