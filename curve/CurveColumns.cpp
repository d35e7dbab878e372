#include "curve/CurveColumns.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace CurveColumns {

namespace {

// The first point whose key is above `key`.
qint64 upperBound(const CurveStore &curve, CurveAxis axis, double key)
{
    return curve.lowerBound(axis, std::nextafter(key, std::numeric_limits<double>::infinity()));
}

void addRun(const CurveStore &curve, CurveAxis axis, qint64 from, qint64 to, std::vector<CurveColumn> *out)
{
    CurveColumn column;
    column.first = from;
    column.last = to - 1;
    column.firstKey = curve.key(axis, from);
    column.lastKey = to - 1 == from ? column.firstKey : curve.key(axis, to - 1);
    column.firstValue = curve.value(from);
    column.lastValue = to - 1 == from ? column.firstValue : curve.value(to - 1);
    const ValueRange range = curve.valueRange(from, to);
    column.minimum = range.found ? range.lower : std::numeric_limits<double>::quiet_NaN();
    column.maximum = range.found ? range.upper : std::numeric_limits<double>::quiet_NaN();
    column.startsStretch = from > 0 && curve.startsStretch(from);
    out->push_back(column);
}

// Points [from, to), split where stretches begin.
void addGroup(const CurveStore &curve, CurveAxis axis, qint64 from, qint64 to, std::vector<CurveColumn> *out)
{
    if (from >= to)
        return;
    for (qint64 start : curve.stretchStartsIn(from, to)) {
        addRun(curve, axis, from, start, out);
        from = start;
    }
    addRun(curve, axis, from, to, out);
}

} // namespace

IndexSpan visible(const CurveStore &curve, CurveAxis axis, double lower, double upper)
{
    if (!(lower <= upper))
        return {};
    const qint64 first = curve.lowerBound(axis, lower);
    const qint64 end = upperBound(curve, axis, upper);
    return {std::max<qint64>(first - 1, 0), std::min(end + 1, curve.size())};
}

std::vector<CurveColumn> reduce(const CurveStore &curve, CurveAxis axis, double lower, double upper, int columns)
{
    std::vector<CurveColumn> out;
    const IndexSpan span = visible(curve, axis, lower, upper);
    if (span.from >= span.to)
        return out;
    const qint64 first = curve.lowerBound(axis, lower);
    const qint64 end = upperBound(curve, axis, upper);
    addGroup(curve, axis, span.from, first, &out);
    columns = std::min(columns, kMaxColumns);
    if (columns < 1 || !(upper > lower)) {
        addGroup(curve, axis, first, end, &out);
    } else {
        const double width = (upper - lower) / columns;
        qint64 start = first;
        for (int c = 1; c <= columns && start < end; ++c) {
            const qint64 next = c == columns ? end : std::clamp(curve.lowerBound(axis, lower + c * width), start, end);
            addGroup(curve, axis, start, next, &out);
            start = next;
        }
    }
    addGroup(curve, axis, end, span.to, &out);
    return out;
}

} // namespace CurveColumns
