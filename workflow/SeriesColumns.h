#pragma once

#include "workflow/FrameSeries.h"

#include <vector>

// What a plot of the since-Start series draws for one refresh: the entries
// with times in a visible span (and the one beyond each end, so the line
// runs off the edge), cut into equal time slices (pixel columns), each
// reduced to its first value, its extremes and its last value in the order
// they came: the same polyline as one through every entry, in at most four
// points a column. A gap in the series breaks the line.
namespace SeriesColumns {

struct Point {
    double seconds; // since the origin
    double value;   // NaN: the line breaks here
};

struct Reduced {
    std::vector<Point> points;
    // The values of the entries within the span (not the neighbours beyond it).
    double minimum = 0;
    double maximum = 0;
    bool found = false;
};

// Entries with times in [fromNs, toNs] in `columns` slices; seconds counted
// from `originNs`. O(entries in the span).
Reduced reduce(const FrameSeries &series, RollingStatistics::Quantity quantity, qint64 originNs, qint64 fromNs,
               qint64 toNs, int columns);

} // namespace SeriesColumns
