#pragma once

#include <QtGlobal>

#include <random>
#include <vector>

// Makes measurement payloads: `points` records of 15 bytes (distance i16,
// noise u16, peak u32, confidence u8, 4 unused bytes, reftof i16), then the
// u32 timestamp. The target drifts slowly around the set distance, and each
// point carries some noise.
class MeasurementGenerator {
public:
    static constexpr quint32 kTimestampWrap = 30000000;
    static constexpr int kPointBytes = 15;

    MeasurementGenerator(int points, int distance, int jitter, unsigned seed);

    // `micros` is a monotonic clock; the timestamp is that clock modulo the wrap.
    std::vector<quint8> nextPayload(quint64 micros);

private:
    void writePoint(quint8 *p, double target);

    int points;
    int distance;
    int jitter;
    std::mt19937 rng;
    std::normal_distribution<double> unit {0.0, 1.0};
    double phase = 0;
};
