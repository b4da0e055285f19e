#include "ui/mainwindow.h"

void MainWindow::initEntityTable() { }

QString MainWindow::decodeEntity(QStringView) const
{
    return {};
}
