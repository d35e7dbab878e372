#pragma once

#include <QObject>
#include <QString>

class QSerialPort;
class QTRNet;

// The sensor's port and the protocol endpoint bound to it, as the window
// sets them up: 8N1, no flow control, every byte read handed to the endpoint.
// Opens nothing until asked; says why an open failed, and when the device
// has gone.
class SensorLink : public QObject {
    Q_OBJECT
public:
    SensorLink(const QString &portName, qint32 baudRate, QObject *parent = nullptr);

    // True when the port is open now (opening it if needed); otherwise
    // openFailure() says why.
    bool open();
    QString openFailure() const { return failure; }
    // Writes out what is queued for the port, waiting up to `ms`, so a last
    // command leaves before the program ends.
    void drain(int ms);

    QString portName() const { return name; }
    QSerialPort *port() const { return serial; }
    QTRNet *net() const { return endpoint; }

signals:
    // The device went away (unplugged, reset) while the port was open.
    void vanished();

private:
    void readAvailable();

    QString name;
    qint32 baud;
    QSerialPort *serial;
    QTRNet *endpoint;
    QString failure;
};
