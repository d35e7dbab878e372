#include "app/MainWindow.h"

#include "link/QTRNet.h"
#include "link/comSettings.h"

#include <QDebug>
#include <QSerialPortInfo>

// LIDAR_NO_POSIX builds the branch other systems get, so that it is compiled
// (and kept building) here too.
#if defined(Q_OS_UNIX) && !defined(LIDAR_NO_POSIX)
#define LIDAR_POLL_HANGUP
#include <poll.h>
#endif

namespace {
// A line whose other end is gone (an unplugged bridge, a closed
// pseudo-terminal) can report endless read errors instead of a resource
// error; the hang-up on its handle says the device has vanished all the same.
// Where there is no poll(), a port the system no longer lists has vanished.
bool lineHungUp(const QSerialPort &port)
{
    if (!port.isOpen())
        return false;
#ifdef LIDAR_POLL_HANGUP
    pollfd line {int(port.handle()), POLLIN, 0};
    return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    return QSerialPortInfo(port).isNull();
#endif
}
} // namespace

// Always reopens, also with unchanged settings; a failure leaves it closed.
bool MainWindow::openCom()
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

void MainWindow::closeCom()
{
    serialPort->close();
    qDebug() << "Info:serial port has been closed";
}

// Only a vanished device is acted on; damaged bytes are left to the frame checks.
void MainWindow::handleLidarError(QSerialPort::SerialPortError error)
{
    const bool vanished = error == QSerialPort::ResourceError
        || (error == QSerialPort::ReadError && lineHungUp(*serialPort));
    if (!vanished)
        return;
    serialPort->close();
    disconnect(serialPort, &QSerialPort::readyRead, this, &MainWindow::readLidarData);
    qDebug().noquote() << QStringLiteral("Info:雷达拔出");
}

void MainWindow::readLidarData()
{
    net->receiveData(serialPort->readAll());
}

bool MainWindow::presetPort(const QString &name, qint32 baudRate)
{
    return comSettingsDialog->presetPort(name, baudRate);
}
