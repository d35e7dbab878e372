#pragma once

#include <qcustomplot.h>

#include <cstddef>
#include <vector>

// Min/max summary of a growing run of graph points: one entry per block of
// kBlock points, then one per kFanOut entries of the level below. Answers the
// value range of any index span by reading at most a few hundred points and
// entries instead of the whole span. Only complete blocks are summarised, so
// appending never rewrites an entry.
class MinMaxPyramid {
public:
    static constexpr int kBlock = 64;
    static constexpr int kFanOut = 8;

    void clear();

    // Takes in points [coveredCount(), count) of `points`; the points already
    // covered must be the same as when they were taken in.
    void extendTo(const QCPGraphData *points, int count);
    int coveredCount() const { return covered; }

    // Smallest and largest value of points [from, to) of the same array.
    // Expects 0 <= from < to <= coveredCount().
    QCPRange range(const QCPGraphData *points, int from, int to) const;
    // Over every covered point.
    QCPRange wholeRange() const { return whole; }
    // True once a covered point had a NaN key or value: the summary then
    // cannot stand in for the plotting library's own NaN-skipping scans.
    bool sawNaN() const { return nan; }

    std::size_t bytes() const;

private:
    struct Span {
        double lo;
        double hi;
    };

    void closeBlock(const QCPGraphData *points, int block);
    void scanPoints(const QCPGraphData *points, int from, int to, Span &acc) const;
    void scanLevel(int level, int from, int to, Span &acc) const;

    std::vector<std::vector<Span>> levels; // levels[0]: one entry per block
    QCPRange whole;
    int covered = 0;
    bool nan = false;
};
