#include "app/MinMaxPyramid.h"

#include <algorithm>
#include <cmath>

void MinMaxPyramid::clear()
{
    levels.clear();
    whole = QCPRange();
    covered = 0;
    nan = false;
}

void MinMaxPyramid::extendTo(const QCPGraphData *points, int count)
{
    for (int i = covered; i < count; ++i) {
        const double v = points[i].value;
        if (std::isnan(v) || std::isnan(points[i].key))
            nan = true;
        if (i == 0) {
            whole = QCPRange(v, v);
        } else {
            whole.lower = std::min(whole.lower, v);
            whole.upper = std::max(whole.upper, v);
        }
        if ((i + 1) % kBlock == 0)
            closeBlock(points, (i + 1) / kBlock - 1);
    }
    covered = std::max(covered, count);
}

void MinMaxPyramid::closeBlock(const QCPGraphData *points, int block)
{
    Span span{points[block * kBlock].value, points[block * kBlock].value};
    scanPoints(points, block * kBlock, (block + 1) * kBlock, span);
    if (levels.empty())
        levels.emplace_back();
    levels[0].push_back(span);
    for (std::size_t level = 0; levels[level].size() % kFanOut == 0; ++level) {
        if (level + 1 == levels.size())
            levels.emplace_back();
        const auto &below = levels[level];
        Span up = below[below.size() - kFanOut];
        for (std::size_t k = below.size() - kFanOut; k < below.size(); ++k) {
            up.lo = std::min(up.lo, below[k].lo);
            up.hi = std::max(up.hi, below[k].hi);
        }
        levels[level + 1].push_back(up);
    }
}

void MinMaxPyramid::scanPoints(const QCPGraphData *points, int from, int to, Span &acc) const
{
    for (int i = from; i < to; ++i) {
        acc.lo = std::min(acc.lo, points[i].value);
        acc.hi = std::max(acc.hi, points[i].value);
    }
}

// Entries [from, to) of `level`: the unaligned ends entry by entry, the
// aligned middle one level up.
void MinMaxPyramid::scanLevel(int level, int from, int to, Span &acc) const
{
    const auto &entries = levels[std::size_t(level)];
    const bool top = std::size_t(level + 1) >= levels.size();
    const int headEnd = std::min(to, (from + kFanOut - 1) / kFanOut * kFanOut);
    const int tailBegin = std::max(headEnd, to / kFanOut * kFanOut);
    if (top || tailBegin - headEnd < kFanOut) {
        for (int k = from; k < to; ++k) {
            acc.lo = std::min(acc.lo, entries[std::size_t(k)].lo);
            acc.hi = std::max(acc.hi, entries[std::size_t(k)].hi);
        }
        return;
    }
    for (int k = from; k < headEnd; ++k) {
        acc.lo = std::min(acc.lo, entries[std::size_t(k)].lo);
        acc.hi = std::max(acc.hi, entries[std::size_t(k)].hi);
    }
    for (int k = tailBegin; k < to; ++k) {
        acc.lo = std::min(acc.lo, entries[std::size_t(k)].lo);
        acc.hi = std::max(acc.hi, entries[std::size_t(k)].hi);
    }
    scanLevel(level + 1, headEnd / kFanOut, tailBegin / kFanOut, acc);
}

QCPRange MinMaxPyramid::range(const QCPGraphData *points, int from, int to) const
{
    Span acc{points[from].value, points[from].value};
    const int headEnd = std::min(to, (from + kBlock - 1) / kBlock * kBlock);
    const int tailBegin = std::max(headEnd, to / kBlock * kBlock);
    if (levels.empty() || tailBegin - headEnd < kBlock) {
        scanPoints(points, from, to, acc);
    } else {
        scanPoints(points, from, headEnd, acc);
        scanPoints(points, tailBegin, to, acc);
        scanLevel(0, headEnd / kBlock, tailBegin / kBlock, acc);
    }
    return QCPRange(acc.lo, acc.hi);
}

std::size_t MinMaxPyramid::bytes() const
{
    std::size_t total = sizeof(*this) + levels.capacity() * sizeof(levels[0]);
    for (const auto &level : levels)
        total += level.capacity() * sizeof(Span);
    return total;
}
