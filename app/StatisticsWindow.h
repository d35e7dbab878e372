#pragma once

#include "workflow/RollingStatistics.h"

#include <QSharedPointer>
#include <qcustomplot.h>
#include <QTimer>
#include <QWidget>

class LodGraph;
class MeasurementFeed;
class QCPBars;
class QCPGraph;

class QComboBox;
class QCustomPlot;
class QLabel;
class QPushButton;
class QSpinBox;
struct MeasurementRecord;

// The non-modal statistics window: figures, a histogram and a time plot of
// the distance over a chosen window of frames. Counts every frame the feed
// publishes from the moment it exists, shown or not; redraws at most every
// refresh interval, and not while frozen or hidden.
class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    StatisticsWindow(MeasurementFeed *feed, QWidget *parent = nullptr);

    // Forgets every frame and restarts the time axis: acquisition restarts.
    // The axis counts from `originNs` on the feed's clock (when Start went
    // out), or from the next frame when it is negative; its label says which.
    void restart(qint64 originNs = -1);
    // The figures shown, as tab-separated lines; what "copy" puts on the clipboard.
    QString text() const;
    const RollingStatistics &statistics() const { return stats; }

public slots:
    void refresh();

private:
    void take(const MeasurementRecord &record);
    void buildControls();
    QWidget *buildFigures();
    void buildPlots();
    void showFigures(const StatisticsSummary &s);
    void showHistogram();
    void showTimePlot();
    int window() const;
    RollingStatistics::Quantity quantity() const;
    void copyText();

    RollingStatistics stats;
    void labelTimeAxis();
    qint64 startNs = -1; // time origin; -1 until the first frame after a restart without a Start
    bool originIsStart = false;
    // The unbounded window's time plot: every frame since the restart until
    // kMaxSinceStartPoints, then every second one, every fourth... so that
    // memory stays bounded over a long run (the figures still count all).
    static constexpr int kMaxSinceStartPoints = 1000000;
    void keepForTimePlot(double seconds, const RollingStatistics::Sample &sample);
    QSharedPointer<QCPGraphDataContainer> sinceStart[2];
    qint64 sinceStartStride = 1;
    QTimer refreshTimer;
    QComboBox *windowBox = nullptr;
    QComboBox *quantityBox = nullptr;
    QSpinBox *binWidthBox = nullptr;
    QPushButton *freezeButton = nullptr;
    QPushButton *copyButton = nullptr;
    QLabel *figures[9] = {};
    QCustomPlot *histogramPlot = nullptr;
    QCPBars *bars = nullptr;
    QCustomPlot *timePlot = nullptr;
    QCPGraph *recentGraph = nullptr;
    LodGraph *sinceStartGraph = nullptr;
};
