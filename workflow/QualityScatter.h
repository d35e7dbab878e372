#pragma once

#include "workflow/FrameSeries.h"

#include <vector>

// The distance against a signal-quality value of each frame (entry) of a
// range of the since-Start series: the points themselves, split into those
// the gate keeps and those it refuses, or past kMaxPoints a 2-D histogram,
// which stays as cheap to draw however many frames the range holds.
namespace QualityScatter {

enum class Measure { Peak, Noise, Confidence };

constexpr qint64 kMaxPoints = 5000;
constexpr int kBins = 100; // each way, for the histogram

struct Point {
    double quality;
    double distance;
};

struct Data {
    std::vector<Point> kept;
    std::vector<Point> refused;
    // The histogram, when `binned`: counts[row * columns + column] of the
    // entries (kept or not) with quality in column, distance in row. The
    // values are whole numbers, so bins are too (at most kBins each way):
    // no bin falls between two values and stays empty.
    bool binned = false;
    int columns = 0;
    int rows = 0;
    double qualityLow = 0, qualityHigh = 0; // edges of the first and last bin
    double distanceLow = 0, distanceHigh = 0;
    std::vector<qint64> counts;
};

double qualityOf(const FrameEntry &e, Measure measure);

// Entries [from, to).
Data build(const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity quantity, Measure measure,
           const QualityGate &gate);

} // namespace QualityScatter
