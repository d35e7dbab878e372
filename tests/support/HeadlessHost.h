#pragma once

#include "link/PortLoss.h"
#include "link/QTRNet.h"
#include "workflow/MeasurementPipeline.h"

#include <QSerialPort>

// A program without a window on a port: the endpoint fed from the port,
// the measurement pipeline listening to it, and the port closed when its
// device goes, as the window closes it.
struct HeadlessHost {
    QSerialPort port;
    QTRNet *net = new QTRNet(&port);
    MeasurementPipeline pipeline {net};

    explicit HeadlessHost(const QString &name)
    {
        port.setPortName(name);
        QObject::connect(&port, &QSerialPort::readyRead, &port, [this] { net->receiveData(port.readAll()); });
        QObject::connect(&port, &QSerialPort::errorOccurred, &port, [this](QSerialPort::SerialPortError error) {
            if (PortLoss::deviceVanished(port, error))
                port.close();
        });
        pipeline.listen();
    }
    bool open() { return port.open(QIODevice::ReadWrite); }
};
