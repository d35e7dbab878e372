#pragma once

#include "workflow/MeasurementRecord.h"
#include "workflow/WindowStatistics.h"

#include <QtGlobal>

#include <vector>

// Bins of a histogram: bin i counts the values in [first + i*width, first + (i+1)*width).
struct Histogram {
    int first = 0;
    int width = 1;
    std::vector<qint64> counts;
};

// Statistics of the distance over the last 100, 1,000 and 10,000 frames and
// over every frame since the last reset, for two measures of a frame's
// distance at once, so that switching window or measure shows figures at
// once. Every frame costs a fixed number of steps, whatever the windows hold.
class RollingStatistics {
public:
    enum class Quantity { FirstPoint, FrameMean };
    static constexpr int kWindows = 4;
    static constexpr int kSinceStart = 3; // the window index without a bound
    static constexpr int kMaxBins = 200;

    struct Sample {
        qint64 timeNs = 0; // monotonic
        qint16 firstPoint = 0;
        qint16 frameMean = 0;
        bool blanked = false;
        qint16 value(Quantity q) const { return q == Quantity::FirstPoint ? firstPoint : frameMean; }
    };

    // A frame's two measures: the first point's distance as the device sent
    // it (blanked or not) and the frame mean.
    static Sample sampleOf(const MeasurementRecord &record);

    RollingStatistics();

    // Frames in window `window` at most; 0 for the one since the reset.
    static int windowSize(int window);

    void add(const Sample &sample);
    // Forgets every frame: a new acquisition begins.
    void reset();

    StatisticsSummary summary(int window, Quantity quantity) const;
    // Bins over the window's range; `binWidth` 0 chooses one (Freedman-Diaconis,
    // at least 1, at most kMaxBins bins). The counts add up to the window's count.
    Histogram histogram(int window, Quantity quantity, int binWidth = 0) const;
    int automaticBinWidth(int window, Quantity quantity) const;
    // The same over any multiset of values (a span's, for instance).
    static Histogram histogramOf(const ValueCounts &counts, int binWidth = 0);
    static int automaticBinWidthOf(const ValueCounts &counts);

    // Frames held in the history (the last 10,000 at most), and the one
    // `back` frames before the newest (0 is the newest).
    qint64 historySize() const;
    const Sample &recent(qint64 back) const;
    // Frames since the reset.
    qint64 total() const { return added; }

private:
    WindowStatistics &stats(int window, Quantity q) { return windows[window][int(q)]; }
    const WindowStatistics &stats(int window, Quantity q) const { return windows[window][int(q)]; }

    std::vector<Sample> ring;
    qint64 added = 0;
    qint64 firstTimeNs = 0;
    WindowStatistics windows[kWindows][2];
};
