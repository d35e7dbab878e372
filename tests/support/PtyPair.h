#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for the USB bridge: a QSerialPort opens
// portName(), the test plays the device on the master side.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return masterFd >= 0; }
    QString portName() const { return slavePath; }

    // Writes everything to the device side.
    bool write(const QByteArray &bytes);
    // Reads what has arrived at the device side, waiting up to `ms` for at
    // least `atLeast` bytes; events are processed meanwhile.
    QByteArray read(int atLeast, int ms);
    // Closes the device side, as when a device is unplugged.
    void closeMaster();

private:
    int masterFd = -1;
    int slaveKeepFd = -1;
    QString slavePath;
};
