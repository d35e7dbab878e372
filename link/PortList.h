#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Which serial ports the port dialog offers, and in what order.
namespace PortList {

// USB vendor of the bridge chip the sensor is sold with.
constexpr quint16 kBridgeVendorId = 0x10C4;

struct Entry {
    QString name;          // the system's port name, e.g. ttyUSB0 or COM5
    quint16 vendorId = 0;  // 0 when the port has no USB vendor id
    quint16 productId = 0; // 0 when the port has no USB product id
    QString description;   // as the system describes the port; may be empty
    QString location;      // the device path, e.g. /dev/ttyUSB0
};

// Bridge ports first (the last one reported topmost), then every other port
// in the order reported.
QVector<Entry> orderedEntries(const QVector<Entry> &ports);
// The names of orderedEntries.
QStringList ordered(const QVector<Entry> &ports);

// The ports the system reports now, or those of the source set below.
QVector<Entry> available();

// Test hook: replaces the system's listing; an empty function restores it.
using Source = std::function<QVector<Entry>()>;
void setSource(Source source);

// The baud rates the sensor speaks, in the order the dialog offers them.
QVector<qint32> offeredBaudRates();

} // namespace PortList
