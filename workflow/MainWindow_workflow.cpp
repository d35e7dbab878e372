#include "app/MainWindow.h"

#include "link/QTRNet.h"

void MainWindow::parseLidarData(TRData *pack)
{
    Q_UNUSED(pack);
}

void MainWindow::processMeasurement(TRData *pack)
{
    Q_UNUSED(pack);
}

void MainWindow::msg_view(LidarDisplayInfo data)
{
    Q_UNUSED(data);
}

void MainWindow::on_pbStart_clicked() {}

void MainWindow::on_pbStop_clicked() {}

void MainWindow::on_pbClear_clicked() {}

void MainWindow::on_pbGetConfig_clicked() {}

void MainWindow::on_actionOrignalData_triggered() {}

void MainWindow::getCaliParam() {}

void MainWindow::paramCali() {}
