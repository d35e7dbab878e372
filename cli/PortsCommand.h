#pragma once

#include "cli/CliCommand.h"
#include "link/PortList.h"

#include <QVector>

#include <string>

// `ports`: the serial ports, the sensor's USB bridges first as the port
// dialog lists them, with path, USB ids and description.
class PortsCommand : public CliCommand {
    Q_OBJECT
public:
    explicit PortsCommand(bool json, QObject *parent = nullptr);
    void start() override;

    // The listing as printed: a JSON list of objects, or one line per port.
    static std::string jsonText(const QVector<PortList::Entry> &ordered);
    static std::string tableText(const QVector<PortList::Entry> &ordered);

private:
    bool json;
};
