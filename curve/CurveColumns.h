#pragma once

#include "curve/CurveStore.h"

#include <vector>

// One run of points that falls in one pixel column (or, at the edges, the
// neighbour just outside the visible keys), summarised for drawing: a
// polyline through its first value, its extremes and its last value looks
// the same as one through every point.
struct CurveColumn {
    qint64 first = 0; // point indices, both included
    qint64 last = 0;
    double firstKey = 0;
    double lastKey = 0;
    double firstValue = 0;
    double lastValue = 0;
    double minimum = 0; // NaN skipped; NaN when every value is
    double maximum = 0;
    bool startsStretch = false; // a gap lies before it: no line joins it to the one before
};

// What a plot needs from a CurveStore for one frame: the points whose keys
// lie in the visible range (and the one point beyond each end, so the line
// runs off the edge), reduced to per-pixel-column runs.
namespace CurveColumns {

constexpr int kMaxColumns = 1 << 16;

struct IndexSpan {
    qint64 from = 0;
    qint64 to = 0; // one past the last
};

// The points with keys in [lower, upper], widened by one point each side.
IndexSpan visible(const CurveStore &curve, CurveAxis axis, double lower, double upper);

// The visible points cut into `columns` equal key slices of [lower, upper]
// (plus the neighbours outside), each slice split where a stretch begins.
// Empty slices give nothing. Costs O(columns · (log n + block)); more than
// kMaxColumns columns are taken as kMaxColumns.
std::vector<CurveColumn> reduce(const CurveStore &curve, CurveAxis axis, double lower, double upper, int columns);

} // namespace CurveColumns
