#include "cli/PortsCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/JsonText.h"

namespace {
// USB ids as lsusb and udev write them: four lower-case hexadecimal digits.
QString usbId(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

QString path(const PortList::Entry &port)
{
    return port.location.isEmpty() ? QStringLiteral("/dev/") + port.name : port.location;
}
} // namespace

PortsCommand::PortsCommand(bool json, QObject *parent)
    : CliCommand(parent)
    , json(json)
{
}

void PortsCommand::start()
{
    const QVector<PortList::Entry> ports = PortList::orderedEntries(PortList::available());
    if (!json && ports.isEmpty())
        Console::message(QStringLiteral("No serial port found."));
    const bool written = Console::data(json ? jsonText(ports) : tableText(ports));
    finish(written ? ExitCode::kSuccess : ExitCode::kFile);
}

std::string PortsCommand::jsonText(const QVector<PortList::Entry> &ordered)
{
    JsonText json;
    json.beginArray();
    for (const PortList::Entry &port : ordered) {
        json.beginObject().key("name").value(port.name).key("path").value(path(port));
        json.key("vendor_id");
        port.vendorId ? json.value(usbId(port.vendorId)) : json.null();
        json.key("product_id");
        port.productId ? json.value(usbId(port.productId)) : json.null();
        json.key("description").value(port.description).endObject();
    }
    json.endArray();
    return json.text() + '\n';
}

// Name, path, vendor:product (or "-") and description, in columns.
std::string PortsCommand::tableText(const QVector<PortList::Entry> &ordered)
{
    int nameWidth = 4;
    int pathWidth = 4;
    for (const PortList::Entry &port : ordered) {
        nameWidth = qMax(nameWidth, int(port.name.size()));
        pathWidth = qMax(pathWidth, int(path(port).size()));
    }
    QString text;
    for (const PortList::Entry &port : ordered) {
        const QString ids = port.vendorId ? usbId(port.vendorId) + QLatin1Char(':') + usbId(port.productId)
                                          : QStringLiteral("-");
        text += QStringLiteral("%1  %2  %3  %4")
                    .arg(port.name, -nameWidth)
                    .arg(path(port), -pathWidth)
                    .arg(ids, -9)
                    .arg(port.description)
                    .trimmed()
            + QLatin1Char('\n');
    }
    return text.toStdString();
}
