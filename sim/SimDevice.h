#pragma once

#include "link/TRData.h"
#include "sim/ImageAssembler.h"
#include "sim/MeasurementGenerator.h"
#include "sim/SimOptions.h"

class Outbox;

// The sensor's behaviour: streams measurements between start and stop,
// answers the identity and calibration requests, and takes downloads block by
// block with an acknowledgement for each command (unless a fault says not to).
class SimDevice {
public:
    SimDevice(const SimOptions &options, Outbox &out);

    void handle(const TRData &pack, quint64 nowMicros);
    // Sends the measurement frames that are due.
    void tick(quint64 nowMicros);
    // Time of the next measurement frame, or UINT64_MAX when not streaming.
    quint64 nextDue() const;
    bool isStreaming() const { return streaming; }
    // As after being unplugged and plugged in: idle until the next Start.
    void powerCycle() { streaming = false; }

private:
    bool handleDownload(const TRData &pack, quint64 nowMicros);
    void takeBlock(const TRData &pack, const char *tag, quint64 nowMicros);
    void finishImage(const TRData &pack, quint64 nowMicros);
    void acknowledge(quint8 code, bool ok, quint64 nowMicros);
    void reply(quint8 cmd, std::vector<quint8> payload);
    void log(const std::string &line) const;

    const SimOptions &options;
    Outbox &out;
    MeasurementGenerator generator;
    ImageAssembler image;
    bool streaming = false;
    quint64 period;
    quint64 nextFrameAt = 0;
    int blockIndex = 0;
};
