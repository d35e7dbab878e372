#pragma once

#include "sim/BlankPlanner.h"
#include "sim/Scene.h"

#include <QtGlobal>

#include <random>
#include <vector>

// Makes measurement payloads: `points` records of 15 bytes (distance i16,
// noise u16, peak u32, confidence u8, 4 unused bytes, reftof i16), then the
// u32 timestamp. The points scatter around what the sensor sees: the
// scene's distance, wandering slowly by up to its wander share (1 % unless told), plus its bias and the
// warm-up drift, which starts at its full offset and decays exponentially.
class MeasurementGenerator {
public:
    static constexpr quint32 kTimestampWrap = 30000000;
    static constexpr int kPointBytes = 15;
    // Around the first point, the others of a frame that has to spread.
    static constexpr double kSpreadMm = 600;

    struct WarmUp {
        double offsetMm = 0;
        double tauSeconds = 60;
    };

    MeasurementGenerator(int points, const Scene &scene, const WarmUp &warmUp, unsigned seed);

    Scene &scene() { return view; }
    // `micros` is a monotonic clock; the timestamp is that clock modulo the
    // wrap. `warmSeconds`: time since the sensor began to warm up.
    std::vector<quint8> nextPayload(quint64 micros, double warmSeconds);
    // The last payload never reached the host.
    void frameLost() { planner.frameLost(); }

private:
    struct Point {
        qint16 distance;
        quint16 noise;
        quint32 peak;
    };

    Point writePoint(quint8 *p, double aim, double nearness, const BlankPlanner::FramePlan &plan, int index);
    static double spreadOffset(int index, int points);

    int points;
    Scene view;
    WarmUp warmUp;
    BlankPlanner planner;
    std::mt19937 rng;
    std::normal_distribution<double> unit {0.0, 1.0};
    double phase = 0;
    std::vector<qint16> distances;
    std::vector<quint16> noises;
    std::vector<quint32> peaks;
};
