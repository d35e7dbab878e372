#pragma once

#include "workflow/ValueCounts.h"

#include <QtGlobal>

// Figures of one window of frames.
struct StatisticsSummary {
    qint64 count = 0;
    double mean = 0;
    double stdDev = 0; // sample standard deviation (divided by count - 1)
    int minimum = 0;
    int maximum = 0;
    int peakToPeak = 0;
    double median = 0; // mean of the two middle values for an even count
    double blankedShare = 0; // 0..1
    double frameRate = 0; // frames received per second; 0 below two frames
};

// The moments, order statistics and blanked count of a multiset of 16-bit
// values that frames enter and leave one at a time. The sums are kept as
// exact integers (the values are whole numbers), so the deviation carries
// no rounding from the history of the window, however long it runs: only
// the final division rounds.
class WindowStatistics {
public:
    void add(qint16 value, bool blanked);
    void remove(qint16 value, bool blanked);

    // Everything but the frame rate, which needs the frames' times.
    StatisticsSummary summary() const;
    const ValueCounts &counts() const { return values; }

private:
    ValueCounts values;
    qint64 sum = 0;
    qint64 sumOfSquares = 0; // below 2^30 per value: room for 8e9 values
    qint64 blankedCount = 0;
};
