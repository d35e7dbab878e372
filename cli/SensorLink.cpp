#include "cli/SensorLink.h"

#include "link/LinkTexts.h"
#include "link/PortLoss.h"
#include "link/QTRNet.h"

#include <QElapsedTimer>
#include <QSerialPort>

SensorLink::SensorLink(const QString &portName, qint32 baudRate, QObject *parent)
    : QObject(parent)
    , name(portName)
    , baud(baudRate)
    , serial(new QSerialPort(this))
    , endpoint(new QTRNet(serial))
{
    serial->setReadBufferSize(QTRNet::kPortReadBuffer);
    connect(serial, &QSerialPort::readyRead, this, &SensorLink::readAvailable);
    connect(serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (PortLoss::deviceVanished(*serial, error)) {
            serial->close();
            emit vanished();
        }
    });
}

bool SensorLink::open()
{
    if (serial->isOpen())
        return true;
    serial->setPortName(name);
    serial->setBaudRate(baud, QSerialPort::AllDirections);
    serial->setDataBits(QSerialPort::Data8);
    serial->setParity(QSerialPort::NoParity);
    serial->setStopBits(QSerialPort::OneStop);
    serial->setFlowControl(QSerialPort::NoFlowControl);
    if (serial->open(QIODevice::ReadWrite)) {
        failure.clear();
        return true;
    }
    LinkTexts::OpenFailure why;
    why.port = name;
    why.error = serial->error();
    why.reason = serial->errorString();
    const QString file = PortLoss::deviceFile(name);
    why.deniedByPermissions = PortLoss::deniedByPermissions(file);
    why.group = PortLoss::owningGroup(file);
    failure = LinkTexts::openFailed(why);
    return false;
}

void SensorLink::drain(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (serial->isOpen() && serial->bytesToWrite() > 0 && clock.elapsed() < ms)
        serial->waitForBytesWritten(int(qMax<qint64>(1, ms - clock.elapsed())));
}

void SensorLink::readAvailable()
{
    endpoint->receiveData(serial->readAll());
}
