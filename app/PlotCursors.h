#pragma once

#include "app/CursorPair.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QCPLayer;
class QCustomPlot;
class QMenu;
class QMouseEvent;
class QPoint;

// Two vertical measurement cursors A and B on a QCustomPlot's default axes.
// Ctrl+click places one (A, then B, then the nearer one moves) and holds it
// for dragging; a plain press on a cursor line drags it; the plot's context
// menu places and removes them. Each cursor shows its x and the y of the
// curve under it, and a line in the plot's corner Δx and Δy. A cursor drag
// never reaches the plot's own range drag, and redraws only the cursors'
// buffered layer, once per mouse event.
//
// Use on any plot:
//   auto *cursors = new PlotCursors(plot);      // a child of the plot
//   cursors->setGraph(graph);                   // or setCurve(lookup) for data held elsewhere
//   cursors->setUnits(tr("秒"), QString());      // "Δx 3.200 秒" on a time axis
//   cursors->useOwnContextMenu();               // or, in the plot's own menu: cursors->addMenuActions(menu, pos)
//   connect(cursors, &PlotCursors::changed, ...);
// and call refresh() before the replot that follows new data, so that the y
// readouts follow the curve.
class PlotCursors : public QObject {
    Q_OBJECT
public:
    using Cursor = CursorPair::Cursor;
    struct CurvePoint {
        double x = 0;
        double y = 0;
    };
    // The data point nearest x, if the curve has one: cursors snap to its x
    // and show its y.
    using Curve = std::function<std::optional<CurvePoint>(double x)>;

    static constexpr int kGrabPixels = 5;
    static constexpr const char *kLayerName = "cursors";

    explicit PlotCursors(QCustomPlot *plot);

    void setCurve(Curve curve);
    // The curve is `graph`'s data (points with a NaN value are skipped).
    void setGraph(QCPGraph *graph);
    // Units after the numbers (empty for none) and decimals of x and y
    // (negative: six significant digits).
    void setUnits(const QString &xUnit, const QString &yUnit);
    void setDecimals(int xDecimals, int yDecimals);

    const CursorPair &pair() const { return cursors; }
    // The y under a placed cursor, when the curve has a point there.
    std::optional<double> valueAt(Cursor c) const;
    std::optional<double> deltaY() const;
    // The texts shown: a cursor's readout and the Δ line.
    QString readout(Cursor c) const;
    QString deltaText() const;

    // Places `c` at `x` (snapped to the curve) and redraws the cursors.
    void place(Cursor c, double x);
    // As a Ctrl+click at `x` would.
    Cursor placeNext(double x);
    void clear();

    // Reads the curve again under the cursors (snapping them anew) and
    // updates the texts; call before a replot after new data. Draws nothing.
    void refresh();

    // Adds "place A / place B here" and "remove" for a menu opened at `pos`
    // (widget coordinates of the plot).
    void addMenuActions(QMenu *menu, const QPoint &pos);
    // Gives the plot a context menu with just those entries.
    void useOwnContextMenu();

signals:
    // A cursor was placed, moved or removed; during a drag, once per move.
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Marker {
        QCPItemStraightLine *line = nullptr;
        QCPItemText *label = nullptr;
        std::optional<double> y;
    };

    Marker &marker(Cursor c) { return c == Cursor::A ? markers[0] : markers[1]; }
    const Marker &marker(Cursor c) const { return c == Cursor::A ? markers[0] : markers[1]; }
    void makeMarker(Marker &m, const QColor &colour);
    void setAt(Cursor c, double x);
    void updateItems();
    void redrawLayer();
    bool pressed(QMouseEvent *event);
    std::optional<Cursor> cursorNear(int pixelX) const;
    bool insidePlotArea(const QPoint &pos) const;
    double xAt(int pixelX) const;
    QString number(double value, int decimals) const;

    QCustomPlot *plot;
    QCPLayer *layer = nullptr;
    CursorPair cursors;
    Marker markers[2];
    QCPItemText *deltaLabel = nullptr;
    Curve curve;
    QString xUnit;
    QString yUnit;
    int xDecimals = -1;
    int yDecimals = -1;
    std::optional<Cursor> dragged;
    bool hovering = false;
};
