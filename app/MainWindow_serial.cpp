#include "app/MainWindow.h"

#include "link/LinkSupervisor.h"
#include "link/PortLoss.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"

#include <QDebug>

// Always reopens, also with unchanged settings; a failure leaves it closed.
// An open port held by a download or a test run is left alone: their
// exchange would be cut (the dialog's Apply is off meanwhile). The supervisor
// is told at the end, whatever came of it.
bool MainWindow::openCom()
{
    if (serialPort->isOpen() && net->lease().heldBeyondAcquisition())
        return false;
    const bool opened = reopenPort();
    if (linkSupervisor)
        linkSupervisor->sync();
    return opened;
}

bool MainWindow::reopenPort()
{
    if (serialPort->isOpen())
        serialPort->close();
    const PortSettings chosen = comSettingsDialog->settings;
    qDebug() << chosen.baudRate;

    serialPort->setPortName(chosen.name);
    serialPort->setBaudRate(chosen.baudRate, QSerialPort::AllDirections);
    serialPort->setDataBits(QSerialPort::DataBits(chosen.dataBits));
    serialPort->setParity(QSerialPort::Parity(chosen.parity));
    serialPort->setStopBits(QSerialPort::StopBits(chosen.stopBits));
    serialPort->setFlowControl(QSerialPort::FlowControl(chosen.flowControl));

    if (serialPort->open(QIODevice::ReadWrite)) {
        qDebug().noquote() << QStringLiteral("Info:Lidar serial port(") + chosen.name + QStringLiteral(")connect");
        // Unique: reopening must not make readLidarData run once more per reopen.
        connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::readLidarData, Qt::UniqueConnection);
        return true;
    }
    // Diagnostic lines read the same whatever the interface language.
    if (!chosen.name.isEmpty())
        qDebug().noquote() << QStringLiteral("Error:Lidar serial port(") + chosen.name + QStringLiteral(")error");
    else
        qDebug().noquote() << QStringLiteral("Error:串口未设置");
    return false;
}

// Not while a download or a test run holds the link (the action is off then).
void MainWindow::closeCom()
{
    if (net->lease().heldBeyondAcquisition())
        return;
    serialPort->close();
    qDebug() << "Info:serial port has been closed";
    linkSupervisor->userClosed();
}

// Only a vanished device is acted on; damaged bytes are left to the frame checks.
void MainWindow::handleLidarError(QSerialPort::SerialPortError error)
{
    if (!PortLoss::deviceVanished(*serialPort, error))
        return;
    serialPort->close();
    disconnect(serialPort, &QSerialPort::readyRead, this, &MainWindow::readLidarData);
    qDebug().noquote() << QStringLiteral("Info:雷达拔出");
}

// One buffer for every wake-up: readAll() would allocate (and grow) a new
// one each time, thousands of times a second at the link's limit.
void MainWindow::readLidarData()
{
    const qint64 available = serialPort->bytesAvailable();
    if (available <= 0)
        return;
    readBuffer.resize(int(available));
    const qint64 taken = serialPort->read(readBuffer.data(), available);
    if (taken <= 0)
        return;
    readBuffer.resize(int(taken));
    net->receiveData(readBuffer);
}

bool MainWindow::presetPort(const QString &name, qint32 baudRate)
{
    return comSettingsDialog->presetPort(name, baudRate);
}
