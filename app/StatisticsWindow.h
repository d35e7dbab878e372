#pragma once

#include "workflow/FrameSeries.h"
#include "workflow/RollingStatistics.h"
#include "workflow/SpanTracker.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class AllanPanel;
class DriftPanel;
class MeasurementFeed;
class PlotCursors;
class QualityPanel;
class QCPBars;
class QCPGraph;
class QComboBox;
class QCustomPlot;
class QLabel;
class QMouseEvent;
class QPushButton;
class QSpinBox;
class QTabWidget;
struct MeasurementRecord;

// The non-modal statistics window: figures, a histogram and a time plot of
// the distance over a chosen window of frames (the last 100, 1,000, 10,000,
// all since Start, or the span between the time plot's cursors A and B),
// the warm-up drift, the Allan deviation and the signal quality, all under
// one quality gate. Takes in every frame the feed publishes from the moment
// it exists, shown or not, at a fixed cost a frame; redraws at most every
// kRefreshMs, the drift and Allan deviation at most every kSlowRefreshMs,
// and nothing while hidden or frozen.
class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;
    static constexpr int kSlowRefreshMs = 1000;
    // The window choices, in the order of the box.
    enum Window { Last100, Last1000, Last10000, SinceStart, Span };
    enum Tab { OverviewTab, DriftTab, AllanTab, QualityTab };

    StatisticsWindow(MeasurementFeed *feed, QWidget *parent = nullptr);

    // Forgets every frame and restarts the time axis: acquisition restarts.
    // The axis counts from `originNs` on the feed's clock (when Start went
    // out), or from the next frame when it is negative; its label says which.
    void restart(qint64 originNs = -1);
    // The frames stopped coming for a while (a Stop, a lost link): the next
    // one starts a new stretch, which no line or average reaches across.
    void markGap();
    // The figures shown, as tab-separated lines; what "copy" puts on the clipboard.
    QString text() const;
    const RollingStatistics &statistics() const { return stats; }
    const FrameSeries &series() const { return frames; }
    PlotCursors *timeCursors() const { return cursors; }
    // Drift and Allan deviation computations so far.
    int slowRefreshes() const { return slowRefreshCount; }

public slots:
    void refresh();

private:
    struct Figures {
        StatisticsSummary summary;
        GateCount frames;
        Histogram histogram;
        qint64 from = 0; // entries of the series the figures cover
        qint64 to = 0;
        bool spanMissing = false; // 区间 A–B without both cursors
    };

    void take(const MeasurementRecord &record);
    void buildControls();
    QWidget *buildFigures();
    QWidget *buildGate();
    QWidget *buildTabs();
    void buildPlots();
    void buildTimePlotMenu();
    void onTick();
    Figures computeFigures();
    void rangeOfWindow(Figures &f) const;
    void showFigures(const Figures &f);
    void showHistogram(const Histogram &h);
    void showTimePlot();
    void showSeriesOnTimePlot();
    void refreshSlow(bool force);
    void replotCurrentTab();
    void placeCursorsForSpan();
    int window() const;
    RollingStatistics::Quantity quantity() const;
    QualityGate gate() const;
    double secondsOf(qint64 timeNs) const;
    qint64 nanosecondsOf(double seconds) const;
    void labelTimeAxis();
    void copyText();

    RollingStatistics stats;
    FrameSeries frames;
    SpanTracker span;
    qint64 startNs = -1; // time origin; -1 until the first frame after a restart without a Start
    bool originIsStart = false;
    bool following = true;    // the time plot's axes follow the data until the user moves them
    bool viewChanged = false; // the user moved the time plot or its cursors since the last refresh
    QTimer refreshTimer;
    QElapsedTimer slowClock;
    int slowRefreshCount = 0;

    QComboBox *windowBox = nullptr;
    QComboBox *quantityBox = nullptr;
    QSpinBox *binWidthBox = nullptr;
    QSpinBox *confidenceBox = nullptr;
    QSpinBox *peakBox = nullptr;
    QPushButton *freezeButton = nullptr;
    QPushButton *copyButton = nullptr;
    QLabel *figures[9] = {};
    QLabel *keptLabel = nullptr;
    QTabWidget *tabs = nullptr;
    QCustomPlot *histogramPlot = nullptr;
    QCPBars *bars = nullptr;
    QCustomPlot *timePlot = nullptr;
    QCPGraph *recentGraph = nullptr;
    QCPGraph *seriesGraph = nullptr;
    PlotCursors *cursors = nullptr;
    DriftPanel *drift = nullptr;
    AllanPanel *allan = nullptr;
    QualityPanel *quality = nullptr;
};
