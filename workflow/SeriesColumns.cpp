#include "workflow/SeriesColumns.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace SeriesColumns {

namespace {

// The entries of one column so far: where its first, lowest, highest and
// last values are.
struct Column {
    qint64 first = -1;
    qint64 low = 0;
    qint64 high = 0;
    qint64 last = 0;
    qint16 lowValue = 0;
    qint16 highValue = 0;
};

class Reducer {
public:
    Reducer(const FrameSeries &series, RollingStatistics::Quantity quantity, qint64 originNs, Reduced &out)
        : series(series)
        , quantity(quantity)
        , originNs(originNs)
        , out(out)
    {
    }

    void take(qint64 i, qint16 v)
    {
        if (column.first < 0) {
            column = {i, i, i, i, v, v};
            return;
        }
        if (v < column.lowValue) {
            column.low = i;
            column.lowValue = v;
        }
        if (v > column.highValue) {
            column.high = i;
            column.highValue = v;
        }
        column.last = i;
    }

    void close()
    {
        if (column.first < 0)
            return;
        const qint64 order[4] = {column.first, std::min(column.low, column.high), std::max(column.low, column.high),
                                 column.last};
        qint64 previous = -1;
        for (qint64 i : order) {
            if (i == previous)
                continue;
            previous = i;
            const FrameEntry &e = series.at(i);
            out.points.push_back({double(e.timeNs - originNs) / 1e9, double(e.value(quantity))});
        }
        column.first = -1;
    }

    // Between entries i - 1 and i, so that the points stay in time order.
    void breakLine(qint64 i)
    {
        close();
        const qint64 between = series.at(i - 1).timeNs + (series.at(i).timeNs - series.at(i - 1).timeNs) / 2;
        if (!out.points.empty())
            out.points.push_back({double(between - originNs) / 1e9, std::numeric_limits<double>::quiet_NaN()});
    }

private:
    const FrameSeries &series;
    RollingStatistics::Quantity quantity;
    qint64 originNs;
    Reduced &out;
    Column column;
};

} // namespace

Reduced reduce(const FrameSeries &series, RollingStatistics::Quantity quantity, qint64 originNs, qint64 fromNs,
               qint64 toNs, int columns)
{
    Reduced out;
    if (series.size() == 0 || toNs < fromNs || columns <= 0)
        return out;
    const qint64 inFrom = series.lowerBound(fromNs);
    const qint64 inTo = toNs == std::numeric_limits<qint64>::max() ? series.size() : series.lowerBound(toNs + 1);
    const qint64 from = std::max<qint64>(inFrom - 1, 0);
    const qint64 to = std::min(inTo + 1, series.size());
    const double slice = std::max(1.0, double(toNs - fromNs) / columns);
    out.points.reserve(std::size_t(std::min<qint64>(to - from, 4 * qint64(columns) + 8)));

    Reducer reducer(series, quantity, originNs, out);
    // Columns by the time their slice ends, so that an entry costs a
    // comparison, not a division.
    int column = -1;
    qint64 columnEndNs = fromNs;
    bool found = false;
    qint16 low = 0, high = 0;
    for (qint64 i = from; i < to; ++i) {
        const FrameEntry &e = series.at(i);
        const qint16 v = e.value(quantity);
        // The neighbours beyond each end are columns of their own.
        int c = column;
        if (i < inFrom) {
            c = -1;
        } else if (i >= inTo) {
            c = columns;
        } else {
            while (e.timeNs >= columnEndNs && c < columns - 1) {
                ++c;
                columnEndNs = fromNs + qint64(double(c + 1) * slice);
            }
            c = std::max(c, 0);
            low = found ? std::min(low, v) : v;
            high = found ? std::max(high, v) : v;
            found = true;
        }
        if (i > from && e.gapBefore())
            reducer.breakLine(i);
        else if (c != column)
            reducer.close();
        column = c;
        reducer.take(i, v);
    }
    out.found = found;
    out.minimum = low;
    out.maximum = high;
    reducer.close();
    return out;
}

} // namespace SeriesColumns
