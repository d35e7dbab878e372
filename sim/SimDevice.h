#pragma once

#include "link/TRData.h"
#include "sim/ImageAssembler.h"
#include "sim/MeasurementGenerator.h"
#include "sim/SimOptions.h"

#include <optional>

class Outbox;

// The sensor's behaviour: streams measurements between start and stop,
// answers the identity and calibration requests, and takes downloads block by
// block with an acknowledgement for each command (unless a fault says not to).
// Download blocks and ends count only inside a transfer that a start opened.
class SimDevice {
public:
    SimDevice(const SimOptions &options, Outbox &out);

    void handle(const TRData &pack, quint64 nowMicros);
    // Sends the measurement frames that are due.
    void tick(quint64 nowMicros);
    // Time of the next measurement frame, or UINT64_MAX when not streaming.
    quint64 nextDue() const;
    bool isStreaming() const { return powered.streaming; }
    // As after being unplugged and plugged in: everything the sensor was doing
    // is forgotten, it waits for the next Start and warms up again. The scene
    // stays.
    void powerCycle();
    Scene &scene() { return generator.scene(); }

private:
    // Everything that lives only while the sensor has power, reset as one.
    struct PoweredState {
        bool streaming = false;
        quint64 nextFrameAt = 0;
        std::optional<quint64> warmingSince; // the first Start after power-on
        bool inTransfer = false;
        int blockIndex = 0;
        ImageAssembler image;
    };

    bool handleDownload(const TRData &pack, quint64 nowMicros);
    void takeBlock(const TRData &pack, const char *tag, quint64 nowMicros);
    void finishImage(const TRData &pack, quint64 nowMicros);
    void acknowledge(quint8 code, bool ok, quint64 nowMicros);
    void reply(quint8 cmd, std::vector<quint8> payload);
    void log(const std::string &line) const;

    const SimOptions &options;
    Outbox &out;
    MeasurementGenerator generator;
    quint64 period;
    PoweredState powered;
};
