#pragma once

#include "workflow/FrameSeries.h"

#include <vector>

struct DriftPoint {
    double seconds = 0; // since the series' first frame
    double mean = 0;
};

struct DriftResult {
    enum class Settle {
        Settled,      // settleSeconds holds the answer
        NeverSettled, // the rolling mean left the band within the last window
        TooLittleData // the run is shorter than two windows, no frame is kept, or the window or band make no sense
    };
    Settle settle = Settle::TooLittleData;
    double settleSeconds = 0;
    double finalMean = 0; // the rolling mean of the last window
    // The rolling mean against time since Start, at most kMaxCurvePoints of it.
    std::vector<DriftPoint> curve;
};

// Warm-up drift: the mean over a trailing window of `windowSeconds`
// against time since the first frame, and when it settled: the time after
// which it stays within ± `band` of its final value. The mean is over the
// frames that are not blanked and that the gate keeps; it is evaluated at
// every entry whose window is whole (from one window after the start on).
// Settled needs the stay to last at least one window: a mean still moving
// in the last window never settled, whatever its last values.
namespace WarmUpDrift {

constexpr double kDefaultWindowSeconds = 10;
constexpr double kDefaultBand = 2;
constexpr int kMaxCurvePoints = 2000;

DriftResult compute(const FrameSeries &series, RollingStatistics::Quantity quantity,
                    const QualityGate &gate = QualityGate(), double windowSeconds = kDefaultWindowSeconds,
                    double band = kDefaultBand);

} // namespace WarmUpDrift
