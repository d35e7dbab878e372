#pragma once

#include <QSerialPort>
#include <QString>

// The serial parameters the port settings dialog holds and openCom applies.
struct PortSettings {
    QString name;
    qint32 baudRate = 115200;
    qint32 dataBits = QSerialPort::Data8;
    qint32 parity = QSerialPort::NoParity;
    qint32 stopBits = QSerialPort::OneStop;
    qint32 flowControl = QSerialPort::NoFlowControl;
};
