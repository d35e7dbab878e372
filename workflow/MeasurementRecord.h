#pragma once

#include "workflow/LidarDisplayInfo.h"

#include <QtGlobal>

#include <vector>

// Everything known about one processed measurement frame: when it arrived,
// what the device said, and the values the window computed from it.
struct MeasurementRecord {
    qint64 hostMsecsSinceEpoch = 0; // wall clock, for people
    qint64 hostNanoseconds = 0;     // monotonic clock, for intervals and rates
    quint32 deviceTimestamp = 0;    // microseconds, wrapping at 30,000,000
    LidarDisplayInfo info;          // as shown: distance 0 when blanked
    quint16 pointRate = 0;          // the rate the window shows as "frame rate"
    bool blanked = false;
    quint64 linkBadFrames = 0;      // the link's frames lost to a bad checksum or a cut so far
    quint8 firstConfidence = 0;     // the first point's; info.confidence is the last point's
    std::vector<qint16> distances;  // every point's distance, in order

    int points() const { return int(distances.size()); }
};
