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

QStringList ordered(const QVector<Entry> &ports)
{
    QStringList names;
    for (const Entry &port : ports) {
        if (port.vendorId == kBridgeVendorId)
            names.prepend(port.name);
        else
            names.append(port.name);
    }
    return names;
}

QVector<Entry> available()
{
    if (source())
        return source()();
    QVector<Entry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({info.portName(), info.hasVendorIdentifier() ? info.vendorIdentifier() : quint16(0)});
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
