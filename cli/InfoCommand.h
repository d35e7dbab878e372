#pragma once

#include "cli/CliCommand.h"
#include "cli/CommandOptions.h"
#include "workflow/UnitIdentity.h"

#include <string>

class SensorLink;
class UnitIdentifier;

// `info`: the device information and the calibration parameters, read with
// acquisition stopped by the unit identifier (each request answered in time
// or asked again), printed as one JSON object or as `key: value` lines.
class InfoCommand : public CliCommand {
    Q_OBJECT
public:
    InfoCommand(const CommandOptions::Port &port, bool json, QObject *parent = nullptr);
    void start() override;

    // The unit as printed: {"unit_id", "firmware", "hardware", "calibration": {...}}
    // or the same keys as lines, the calibration's keys without a prefix.
    static std::string text(const UnitIdentity &unit, bool json);

private:
    SensorLink *link;
    UnitIdentifier *identifier;
    bool json;
};
