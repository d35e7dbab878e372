#pragma once

#include "curve/CurveStore.h"

#include <QObject>
#include <QString>

class LodGraph;
class PlotCursors;
class QCustomPlot;
class QMenu;
class QPoint;

// What the main plot offers beside its curves: the choice of its x axis,
// points (the default) or seconds since Start, from its context menu, and
// the cursors A and B, placed from the same menu or with Ctrl+click. Every
// LodGraph of the plot is keyed by the chosen axis; cursors read the first
// graph's curve.
class MainPlotView : public QObject {
    Q_OBJECT
public:
    // Seconds of room after the last point when the key axis follows the
    // curve on the time axis (the points axis keeps its twenty points).
    static constexpr double kTimeMargin = 0.1;

    explicit MainPlotView(QCustomPlot *plot);

    CurveAxis axis() const { return keys; }
    // Keys every graph by `axis`; when it changes, the cursors are removed
    // (their places meant the other axis) and the key axis spans the curves.
    void setAxis(CurveAxis axis);
    // The axis as the settings file stores it, and back ("points", "time").
    static QString axisName(CurveAxis axis);
    static CurveAxis axisNamed(const QString &name);

    // The graph the window appends to, keyed by the chosen axis.
    LodGraph *liveGraph() const;
    // The next point of the live curve starts a new stretch: on the time
    // axis, no line joins it to the points before.
    void markGap();
    // The end of the key range that shows the whole of the curves.
    double keyRangeEnd() const;

    PlotCursors *cursors() const { return cursorPair; }
    // The context menu's entries for a menu opened at `pos` (plot coordinates).
    void addMenuActions(QMenu *menu, const QPoint &pos);

signals:
    void axisChanged(CurveAxis axis);

private:
    void showCursorUnits();

    QCustomPlot *plot;
    PlotCursors *cursorPair;
    CurveAxis keys = CurveAxis::Points;
};
