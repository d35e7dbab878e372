#include "app/LodGraph.h"

#include "app/LodGraphData.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool samePoint(const QCPGraphData &a, const QCPGraphData &b)
{
    // Bitwise, so that a NaN compares equal to itself.
    return std::memcmp(&a.key, &b.key, sizeof(double)) == 0
        && std::memcmp(&a.value, &b.value, sizeof(double)) == 0;
}

} // namespace

LodGraph::LodGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPGraph(keyAxis, valueAxis)
{
    QSharedPointer<QCPGraphDataContainer> store(new LodGraphData);
    madeStore = store;
    setData(store);
}

LodGraphData *LodGraph::ownStore() const
{
    // setData may have swapped in a plain container since construction.
    if (madeStore.toStrongRef() != mDataContainer)
        return nullptr;
    return static_cast<LodGraphData *>(mDataContainer.data());
}

std::size_t LodGraph::memoryBytes() const
{
    const LodGraphData *store = ownStore();
    const int held = store ? store->capacity() : mDataContainer->size();
    return std::size_t(held) * sizeof(QCPGraphData) + pyramid.bytes();
}

bool LodGraph::coveredPointsUnchanged() const
{
    const int covered = pyramid.coveredCount();
    if (covered == 0)
        return true;
    if (syncedStore.toStrongRef() != mDataContainer || mDataContainer->size() < covered)
        return false;
    const auto points = mDataContainer->constBegin();
    return samePoint(points[0], firstCovered) && samePoint(points[covered / 2], middleCovered)
        && samePoint(points[covered - 1], lastCovered);
}

bool LodGraph::sync() const
{
    // Growing the store's capacity changes nothing that can be observed.
    if (LodGraphData *store = ownStore())
        store->keepHeadroom();
    if (!coveredPointsUnchanged())
        pyramid.clear();
    syncedStore = mDataContainer;
    const int count = mDataContainer->size();
    if (count > pyramid.coveredCount()) {
        const QCPGraphData *points = &*mDataContainer->constBegin();
        pyramid.extendTo(points, count);
        firstCovered = points[0];
        middleCovered = points[count / 2];
        lastCovered = points[count - 1];
    }
    return !pyramid.sawNaN();
}

void LodGraph::draw(QCPPainter *painter)
{
    // Every replot looks, so a clear is seen before the curve regrows past it.
    sync();
    QCPGraph::draw(painter);
}

QCPRange LodGraph::getValueRange(bool &foundRange, QCP::SignDomain inSignDomain,
                                 const QCPRange &inKeyRange) const
{
    if (inSignDomain != QCP::sdBoth || !sync())
        return QCPGraph::getValueRange(foundRange, inSignDomain, inKeyRange);
    foundRange = false;
    if (mDataContainer->isEmpty())
        return QCPRange();
    if (inKeyRange == QCPRange()) {
        foundRange = true;
        return pyramid.wholeRange();
    }
    const auto first = mDataContainer->constBegin();
    const int from = int(mDataContainer->findBegin(inKeyRange.lower, false) - first);
    const int to = int(mDataContainer->findEnd(inKeyRange.upper, false) - first);
    if (from >= to)
        return QCPRange();
    foundRange = true;
    return pyramid.range(&*first, from, to);
}

void LodGraph::getOptimizedLineData(QVector<QCPGraphData> *lineData,
                                    const QCPGraphDataContainer::const_iterator &begin,
                                    const QCPGraphDataContainer::const_iterator &end) const
{
    QCPAxis *keyAxis = mKeyAxis.data();
    if (!lineData || !keyAxis || !mValueAxis || begin == end || !mAdaptiveSampling || !sync()) {
        QCPGraph::getOptimizedLineData(lineData, begin, end);
        return;
    }
    // Same threshold as the base class: reduce from two points per pixel on.
    const double keyPixelSpan = qAbs(keyAxis->coordToPixel(begin->key) - keyAxis->coordToPixel((end - 1)->key));
    int maxCount = std::numeric_limits<int>::max();
    if (2 * keyPixelSpan + 2 < double(maxCount))
        maxCount = int(2 * keyPixelSpan + 2);
    if (int(end - begin) < maxCount || keyAxis->scaleType() == QCPAxis::stLogarithmic) {
        QCPGraph::getOptimizedLineData(lineData, begin, end);
        return;
    }
    const QCPGraphData *points = &*mDataContainer->constBegin();
    reduceToColumns(lineData, points, int(begin - mDataContainer->constBegin()),
                    int(end - mDataContainer->constBegin()));
}

// The base class's adaptive sampling, step for step, except that each pixel
// column's points are found by binary search and their extremes read from
// the summary. Each column with several points becomes its first value (when
// the previous column ended far off), its minimum and maximum, and its last
// value (when the next column starts far off).
void LodGraph::reduceToColumns(QVector<QCPGraphData> *lineData, const QCPGraphData *points,
                               int from, int to) const
{
    QCPAxis *keyAxis = mKeyAxis.data();
    const int reversedFactor = keyAxis->pixelOrientation();
    const int reversedRound = reversedFactor == -1 ? 1 : 0;
    const auto columnStart = [&](double key) {
        return keyAxis->pixelToCoord(int(keyAxis->coordToPixel(key) + reversedRound));
    };
    double startKey = columnStart(points[from].key);
    const double epsilon = qAbs(startKey - keyAxis->pixelToCoord(keyAxis->coordToPixel(startKey) + 1.0 * reversedFactor));
    double lastEndKey = startKey;
    const auto byKey = [](const QCPGraphData &p, double key) { return p.key < key; };

    int first = from;
    for (;;) {
        const double limit = startKey + epsilon;
        const int next = int(std::lower_bound(points + first + 1, points + to, limit, byKey) - points);
        if (next - first >= 2) {
            const QCPRange span = pyramid.range(points, first, next);
            if (lastEndKey < startKey - epsilon)
                lineData->append(QCPGraphData(startKey + epsilon * 0.2, points[first].value));
            lineData->append(QCPGraphData(startKey + epsilon * 0.25, span.lower));
            lineData->append(QCPGraphData(startKey + epsilon * 0.75, span.upper));
            if (next < to && points[next].key > startKey + epsilon * 2)
                lineData->append(QCPGraphData(startKey + epsilon * 0.8, points[next - 1].value));
        } else {
            lineData->append(points[first]);
        }
        if (next >= to)
            return;
        lastEndKey = points[next - 1].key;
        first = next;
        startKey = columnStart(points[first].key);
    }
}
