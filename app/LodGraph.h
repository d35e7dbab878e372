#pragma once

#include "curve/CurveStore.h"

#include <qcustomplot.h>

#include <cstddef>
#include <memory>

// A QCPGraph whose points live in a CurveStore instead of the graph's own
// container, which stays empty: a curve of a week's points keeps resident
// memory flat, grows without reallocation peaks, and is drawn and rescaled
// from the store's min/max summary at the cost of a few reads per pixel
// column. Its keys are the store's: the point index on the points axis (as
// the plot has always keyed its curves) or the seconds since the time origin.
//
// On the points axis the picture is the base class's, pixel for pixel: the
// same visible points, the same one-polyline-per-pixel-column reduction. On
// the time axis a gap (CurveStore::markGap) breaks the line: no segment
// joins the stretches on either side. Only the line is drawn (no scatters,
// no fill), which is all the main plot's graphs use.
//
// Add points through curve(); addData() and data() reach the unused base
// container. dataCount(), getValueRange() and getKeyRange() answer from the
// store.
class LodGraph : public QCPGraph {
    Q_OBJECT
public:
    // An empty curve on the spill file the plot's other LodGraphs use.
    LodGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);
    LodGraph(QCPAxis *keyAxis, QCPAxis *valueAxis, std::unique_ptr<CurveStore> store);

    // The spill file the plot's LodGraphs share (one budget for what is
    // mapped), or a new one when it has none.
    static std::shared_ptr<SpillFile> spillFileOf(QCustomPlot *plot);

    CurveStore &curve() { return *store; }
    const CurveStore &curve() const { return *store; }
    void setCurveAxis(CurveAxis axis) { keys = axis; }
    CurveAxis curveAxis() const { return keys; }
    double keyAt(qint64 index) const { return store->key(keys, index); }

    // The vertices the line is drawn through for the current axis ranges, in
    // key order; a NaN value breaks the line there (a gap on the time axis).
    QVector<QCPGraphData> lineVertices() const;

    int dataCount() const override;
    double dataMainKey(int index) const override;
    double dataSortKey(int index) const override;
    double dataMainValue(int index) const override;
    QCPRange getKeyRange(bool &foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
    QCPRange getValueRange(bool &foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange &inKeyRange = QCPRange()) const override;

    // Heap bytes held for the curve (the store's own account).
    std::size_t memoryBytes() const { return store->residentBytes(); }

protected:
    void draw(QCPPainter *painter) override;

private:
    void addStretch(QVector<QCPGraphData> *out, qint64 from, qint64 to) const;
    void reduceToColumns(QVector<QCPGraphData> *out, qint64 from, qint64 to) const;

    std::unique_ptr<CurveStore> store;
    CurveAxis keys = CurveAxis::Points;
};
