#pragma once

#include <QtGlobal>

// The signal-quality gate of the statistics window: a frame is kept when
// its confidence and peak reach the bounds. It judges the values a frame's
// record carries (LidarDisplayInfo: those of the frame's last point, the
// only one of a one-point frame). The default gate keeps every frame.
struct QualityGate {
    int minConfidence = 0;
    qint64 minPeak = 0;

    bool passes(quint8 confidence, quint32 peak) const
    {
        return confidence >= minConfidence && qint64(peak) >= minPeak;
    }
    bool keepsAll() const { return minConfidence <= 0 && minPeak <= 0; }
    bool operator==(const QualityGate &other) const
    {
        return minConfidence == other.minConfidence && minPeak == other.minPeak;
    }
};

// "n of m frames kept": frames the gate kept, of those it judged.
struct GateCount {
    qint64 kept = 0;
    qint64 total = 0;
};
