#include "link/PortList.h"

#include <QSerialPortInfo>

namespace PortList {

namespace {
Source &source()
{
    static Source current;
    return current;
}
} // namespace

QVector<Entry> orderedEntries(const QVector<Entry> &ports)
{
    QVector<Entry> entries;
    for (const Entry &port : ports) {
        if (port.vendorId == kBridgeVendorId)
            entries.prepend(port);
        else
            entries.append(port);
    }
    return entries;
}

QStringList ordered(const QVector<Entry> &ports)
{
    QStringList names;
    for (const Entry &port : orderedEntries(ports))
        names.append(port.name);
    return names;
}

QVector<Entry> available()
{
    if (source())
        return source()();
    QVector<Entry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({info.portName(), info.hasVendorIdentifier() ? info.vendorIdentifier() : quint16(0),
                      info.hasProductIdentifier() ? info.productIdentifier() : quint16(0), info.description(),
                      info.systemLocation()});
    return ports;
}

void setSource(Source replacement)
{
    source() = std::move(replacement);
}

QVector<qint32> offeredBaudRates()
{
    return {230400, 115200, 460800, 921600};
}

} // namespace PortList
