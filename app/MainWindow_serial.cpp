#include "app/MainWindow.h"

#include "link/QTRNet.h"

bool MainWindow::openCom() { return false; }

void MainWindow::closeCom() {}

void MainWindow::handleLidarError(QSerialPort::SerialPortError error)
{
    Q_UNUSED(error);
}

void MainWindow::readLidarData()
{
    net->receiveData(serialPort->readAll());
}
