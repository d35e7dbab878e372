#pragma once

#include "app/MinMaxPyramid.h"

#include <qcustomplot.h>

#include <cstddef>

class LodGraphData;

// A QCPGraph that stays cheap to rescale and draw however long the curve
// grows. Every point still lives in the graph's own data container; beside
// it the graph keeps a min/max summary, brought up to date from the points
// appended since the last look (rebuilt when the data shrank or changed
// under it). The value range and the one-polyline-vertex-per-pixel-column
// reduction of the base class are then answered from the summary, giving
// the same picture without passing over every point.
class LodGraph : public QCPGraph {
    Q_OBJECT
public:
    LodGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

    QCPRange getValueRange(bool &foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange &inKeyRange = QCPRange()) const override;

    // Heap bytes held for the curve: point storage by capacity, and the summary.
    std::size_t memoryBytes() const;

protected:
    void draw(QCPPainter *painter) override;
    void getOptimizedLineData(QVector<QCPGraphData> *lineData,
                              const QCPGraphDataContainer::const_iterator &begin,
                              const QCPGraphDataContainer::const_iterator &end) const override;

private:
    // False when the summary cannot answer (NaN in the data): use the base.
    bool sync() const;
    bool coveredPointsUnchanged() const;
    void reduceToColumns(QVector<QCPGraphData> *lineData, const QCPGraphData *points,
                         int from, int to) const;
    LodGraphData *ownStore() const;

    QWeakPointer<QCPGraphDataContainer> madeStore;
    mutable MinMaxPyramid pyramid;
    mutable QWeakPointer<QCPGraphDataContainer> syncedStore;
    // Samples of the covered points: appends leave them alone, a clear or
    // a replacement of the data practically never does.
    mutable QCPGraphData firstCovered;
    mutable QCPGraphData middleCovered;
    mutable QCPGraphData lastCovered;
};
