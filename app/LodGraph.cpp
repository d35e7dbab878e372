#include "app/LodGraph.h"

#include "curve/CurveColumns.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

LodGraph::LodGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : LodGraph(keyAxis, valueAxis, std::make_unique<CurveStore>(spillFileOf(keyAxis->parentPlot())))
{
}

LodGraph::LodGraph(QCPAxis *keyAxis, QCPAxis *valueAxis, std::unique_ptr<CurveStore> curve)
    : QCPGraph(keyAxis, valueAxis)
    , store(std::move(curve))
{
}

std::shared_ptr<SpillFile> LodGraph::spillFileOf(QCustomPlot *plot)
{
    for (int i = 0; plot && i < plot->plottableCount(); ++i)
        if (const auto *graph = qobject_cast<const LodGraph *>(plot->plottable(i)))
            return graph->curve().spillFile();
    return std::make_shared<SpillFile>();
}

int LodGraph::dataCount() const
{
    return int(store->size());
}

double LodGraph::dataMainKey(int index) const
{
    return keyAt(index);
}

double LodGraph::dataSortKey(int index) const
{
    return keyAt(index);
}

double LodGraph::dataMainValue(int index) const
{
    return store->value(index);
}

QCPRange LodGraph::getKeyRange(bool &foundRange, QCP::SignDomain inSignDomain) const
{
    qint64 from = 0;
    qint64 to = store->size();
    if (inSignDomain == QCP::sdPositive)
        from = store->lowerBound(keys, std::nextafter(0.0, 1.0));
    else if (inSignDomain == QCP::sdNegative)
        to = store->lowerBound(keys, 0.0);
    foundRange = from < to;
    return foundRange ? QCPRange(keyAt(from), keyAt(to - 1)) : QCPRange();
}

// The range over the points whose keys lie in `inKeyRange` (all points when
// it is empty). Signed domains, which only a logarithmic axis asks for,
// keep the part of that range on their side of zero.
QCPRange LodGraph::getValueRange(bool &foundRange, QCP::SignDomain inSignDomain, const QCPRange &inKeyRange) const
{
    foundRange = false;
    qint64 from = 0;
    qint64 to = store->size();
    if (inKeyRange != QCPRange()) {
        from = store->lowerBound(keys, inKeyRange.lower);
        to = store->lowerBound(keys, std::nextafter(inKeyRange.upper, std::numeric_limits<double>::infinity()));
    }
    const ValueRange range = store->valueRange(from, to);
    if (!range.found)
        return QCPRange();
    QCPRange result(range.lower, range.upper);
    if (inSignDomain == QCP::sdPositive) {
        if (result.upper <= 0)
            return QCPRange();
        result.lower = std::max(result.lower, result.upper * 1e-9);
    } else if (inSignDomain == QCP::sdNegative) {
        if (result.lower >= 0)
            return QCPRange();
        result.upper = std::min(result.upper, result.lower * 1e-9);
    }
    foundRange = true;
    return result;
}

QVector<QCPGraphData> LodGraph::lineVertices() const
{
    QVector<QCPGraphData> out;
    QCPAxis *keyAxis = mKeyAxis.data();
    if (!keyAxis || !mValueAxis || store->size() == 0)
        return out;
    const CurveColumns::IndexSpan span = CurveColumns::visible(*store, keys, keyAxis->range().lower,
                                                               keyAxis->range().upper);
    qint64 from = span.from;
    // On the points axis the curve is one line, as the plot has always drawn it.
    if (keys == CurveAxis::Time) {
        for (qint64 start : store->stretchStartsIn(span.from, span.to)) {
            addStretch(&out, from, start);
            out.append(QCPGraphData((keyAt(start - 1) + keyAt(start)) / 2, std::numeric_limits<double>::quiet_NaN()));
            from = start;
        }
    }
    addStretch(&out, from, span.to);
    return out;
}

// Points [from, to) as the base class samples a run of visible points: one
// by one below two points per pixel, else reduced per pixel column.
void LodGraph::addStretch(QVector<QCPGraphData> *out, qint64 from, qint64 to) const
{
    if (from >= to)
        return;
    QCPAxis *keyAxis = mKeyAxis.data();
    const double keyPixelSpan = qAbs(keyAxis->coordToPixel(keyAt(from)) - keyAxis->coordToPixel(keyAt(to - 1)));
    qint64 maxCount = std::numeric_limits<int>::max();
    if (mAdaptiveSampling && 2 * keyPixelSpan + 2 < double(maxCount))
        maxCount = qint64(2 * keyPixelSpan + 2);
    if (mAdaptiveSampling && to - from >= maxCount) {
        reduceToColumns(out, from, to);
        return;
    }
    std::vector<double> values(std::size_t(to - from));
    store->read(from, to - from, values.data());
    for (qint64 i = from; i < to; ++i)
        out->append(QCPGraphData(keyAt(i), values[std::size_t(i - from)]));
}

// The base class's adaptive sampling, step for step, except that each pixel
// column's points are found by binary search and their extremes read from
// the store's summary. Each column with several points becomes its first
// value (when the previous column ended far off), its minimum and maximum,
// and its last value (when the next column starts far off).
void LodGraph::reduceToColumns(QVector<QCPGraphData> *out, qint64 from, qint64 to) const
{
    QCPAxis *keyAxis = mKeyAxis.data();
    const int reversedFactor = keyAxis->pixelOrientation();
    const int reversedRound = reversedFactor == -1 ? 1 : 0;
    const auto columnStart = [&](double key) {
        return keyAxis->pixelToCoord(int(keyAxis->coordToPixel(key) + reversedRound));
    };
    double startKey = columnStart(keyAt(from));
    const double epsilon = qAbs(startKey - keyAxis->pixelToCoord(keyAxis->coordToPixel(startKey) + 1.0 * reversedFactor));
    double lastEndKey = startKey;

    qint64 first = from;
    for (;;) {
        const double limit = startKey + epsilon;
        const qint64 next = std::clamp(store->lowerBound(keys, limit), first + 1, to);
        if (next - first >= 2) {
            const ValueRange span = store->valueRange(first, next);
            const double nan = std::numeric_limits<double>::quiet_NaN();
            if (lastEndKey < startKey - epsilon)
                out->append(QCPGraphData(startKey + epsilon * 0.2, store->value(first)));
            out->append(QCPGraphData(startKey + epsilon * 0.25, span.found ? span.lower : nan));
            out->append(QCPGraphData(startKey + epsilon * 0.75, span.found ? span.upper : nan));
            if (next < to && keyAt(next) > startKey + epsilon * 2)
                out->append(QCPGraphData(startKey + epsilon * 0.8, store->value(next - 1)));
        } else {
            out->append(QCPGraphData(keyAt(first), store->value(first)));
        }
        if (next >= to)
            return;
        lastEndKey = keyAt(next - 1);
        first = next;
        startKey = columnStart(keyAt(first));
    }
}

void LodGraph::draw(QCPPainter *painter)
{
    if (!mKeyAxis || !mValueAxis || mKeyAxis->range().size() <= 0 || store->size() == 0 || mLineStyle == lsNone)
        return;
    QVector<QCPGraphData> vertices = lineVertices();
    // Key pixels ascending, as the base class has them.
    if (mKeyAxis->rangeReversed() != (mKeyAxis->orientation() == Qt::Vertical))
        std::reverse(vertices.begin(), vertices.end());
    QVector<QPointF> lines;
    switch (mLineStyle) {
    case lsStepLeft: lines = dataToStepLeftLines(vertices); break;
    case lsStepRight: lines = dataToStepRightLines(vertices); break;
    case lsStepCenter: lines = dataToStepCenterLines(vertices); break;
    case lsImpulse: lines = dataToImpulseLines(vertices); break;
    default: lines = dataToLines(vertices); break;
    }
    painter->setPen(mPen);
    painter->setBrush(Qt::NoBrush);
    if (mLineStyle == lsImpulse)
        drawImpulsePlot(painter, lines);
    else
        drawLinePlot(painter, lines);
}
