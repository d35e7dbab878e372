#pragma once

#include "workflow/LidarDisplayInfo.h"

#include <QtGlobal>

#include <cstddef>

// What one measurement frame gives the window: its text record and the
// value its ten plot points take.
struct FrameOutcome {
    LidarDisplayInfo info;
    qint32 plotValue = 0;
    bool blanked = false; // the quality filter set the distance to 0
};

// Turns measurement frames into displayed values: the smoothed point rate,
// the frame's mean and standard deviation, and the quality filter that
// blanks the distance after a run of poor points. Holds no buffer but the
// fixed window, so processing a frame allocates nothing.
class MeasurementProcessor {
public:
    static constexpr int kWindowCapacity = 300;
    static constexpr std::size_t kMinimumPayload = 19; // one point and the timestamp
    static constexpr quint32 kTimestampWrap = 30000000; // microseconds
    static constexpr float kJudgedStdDev = 200.0f;
    static constexpr quint16 kNoisyAbove = 90;
    static constexpr quint32 kWeakBelow = 4000;
    static constexpr qint16 kHitsMax = 30;
    static constexpr qint16 kBlankAbove = 18;

    // Processes one measurement payload. False, with nothing changed, when it
    // is too short to hold one point and the timestamp.
    bool process(const quint8 *payload, std::size_t len, FrameOutcome &out);

    // Point count of a payload of `len` bytes; bytes after the timestamp
    // that make no whole point are ignored.
    static int pointCount(std::size_t len);

    // Window of the frame being processed: only its first 300 distances are
    // kept, while the rate and the quality counters still see every point.
    qint16 windowSamples[kWindowCapacity] = {};
    qint32 windowSum = 0;
    qint16 windowCount = 0;
    quint16 framePoints = 0;
    float varianceSum = 0;
    // Carried from frame to frame: the counters judge points by the previous
    // frame's deviation.
    float lastStdDev = 0;
    qint16 noiseHits = 0;
    qint16 peakHits = 0;
    quint16 frameRate = 0;
    quint32 lastTimestamp = 0;
    quint16 rateHistory[3] = {};
    int rateIndex = 0;

private:
    void updateRate(int points, quint32 timestamp);
    void judgePoint(quint16 noise, quint32 peak);
    LidarDisplayInfo closeWindow();
};
