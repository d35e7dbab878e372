#pragma once

#include <QSerialPort>
#include <QString>

// Reading the port's failures: whether the device has gone, and whether an
// open failed for lack of permission. Widget-free and free of state.
namespace PortLoss {

// A resource error, or a read error on a line that has hung up: an unplugged
// bridge or a closed pseudo-terminal can report endless read errors instead
// of a resource error. Only an open port can have hung up.
bool deviceVanished(const QSerialPort &port, QSerialPort::SerialPortError error);

// The device file behind a port name ("ttyUSB0" or a full path).
QString deviceFile(const QString &portName);

// True when this user may not read and write `file` by its permissions (as
// opposed to the device being locked or held by another program).
bool deniedByPermissions(const QString &file);

// The group that owns `file`, the one a user must join to open it; "dialout"
// when it cannot be told or is root's own.
QString owningGroup(const QString &file);

} // namespace PortLoss
