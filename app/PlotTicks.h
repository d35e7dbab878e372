#pragma once

#include <QHash>
#include <QObject>

class QCPAxis;
class QCustomPlot;

// Keeps a plot's tick labels apart however short its axes are: before each
// replot, every axis with labels gets about one tick per kPixelsPerTick of
// its length, and fewer where its labels would otherwise touch. For plots
// whose one axis rect fills them, as all of this program's do.
class PlotTicks : public QObject {
    Q_OBJECT
public:
    static constexpr int kPixelsPerTickHorizontal = 90;
    static constexpr int kPixelsPerTickVertical = 50;

    // Made as a child of `plot`, it follows the plot for the plot's life.
    static void keepLabelsApart(QCustomPlot *plot);

    // The most ticks, up to one per kPixelsPerTick... but two at least,
    // whose labels stand apart on `axis` at `length` pixels; sets it as the
    // axis ticker's count.
    static int fitTickCount(QCPAxis *axis, int length);

private:
    explicit PlotTicks(QCustomPlot *plot);
    void fitAll();

    struct Fitted {
        double lower = 0;
        double upper = 0;
        int length = -1;
    };
    QCustomPlot *plot;
    QHash<QCPAxis *, Fitted> fitted; // what each axis was last fitted to
};
