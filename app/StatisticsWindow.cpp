#include "app/StatisticsWindow.h"

#include "app/AllanPanel.h"
#include "app/DriftPanel.h"
#include "app/PlotCursors.h"
#include "app/PlotTicks.h"
#include "app/QualityPanel.h"
#include "app/WindowFit.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/SeriesColumns.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <cmath>
#include <limits>

namespace {
using Quantity = RollingStatistics::Quantity;

enum Figure { Count, Mean, StdDev, Minimum, Maximum, PeakToPeak, Median, Blanked, Rate, FigureCount };

// A cursor snapped to a frame holds that frame's time in seconds as a
// double; read back, it may miss the frame by a rounding (under a
// nanosecond for runs of weeks): a cursor takes in frames this close to it.
constexpr qint64 kCursorToleranceNs = 16;

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

// Plain one-pixel pens: redrawn four times a second at most, but with up to
// 10,000 points each time.
void styleGraph(QCPGraph *graph)
{
    graph->setPen(QPen(QColor(Qt::blue)));
    graph->setLineStyle(QCPGraph::lsLine);
    graph->setAntialiased(false);
}
} // namespace

StatisticsWindow::StatisticsWindow(MeasurementFeed *feed, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("statisticsWindow"));
    setWindowTitle(tr("统计"));
    buildControls();
    connect(feed, &MeasurementFeed::frameMeasured, this, &StatisticsWindow::take);
    refreshTimer.setInterval(kRefreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, &StatisticsWindow::onTick);
    refreshTimer.start();
    refresh();
    resize(720, 640);
    WindowFit::fitWhenShown(this);
}

void StatisticsWindow::buildControls()
{
    windowBox = new QComboBox(this);
    windowBox->setObjectName(QStringLiteral("windowBox"));
    windowBox->addItems({tr("最近 100 帧"), tr("最近 1000 帧"), tr("最近 10000 帧"), tr("自开始"), tr("区间 A–B")});
    windowBox->setCurrentIndex(Last1000);
    quantityBox = new QComboBox(this);
    quantityBox->setObjectName(QStringLiteral("quantityBox"));
    quantityBox->addItems({tr("第一个点的距离"), tr("帧平均距离")});
    binWidthBox = new QSpinBox(this);
    binWidthBox->setObjectName(QStringLiteral("binWidthBox"));
    binWidthBox->setRange(0, 10000);
    binWidthBox->setSpecialValueText(tr("自动"));
    binWidthBox->setPrefix(tr("组距 "));
    freezeButton = new QPushButton(tr("冻结"), this);
    freezeButton->setObjectName(QStringLiteral("freezeButton"));
    freezeButton->setCheckable(true);
    copyButton = new QPushButton(tr("复制为文本"), this);
    copyButton->setObjectName(QStringLiteral("copyButton"));

    // The choices above, the buttons under the figures: a row of all of
    // them would not fit a small screen in English.
    auto *bar = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{windowBox, quantityBox, binWidthBox})
        bar->addWidget(w);
    bar->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(freezeButton);
    buttons->addWidget(copyButton);
    auto *side = new QVBoxLayout;
    side->addWidget(buildFigures());
    side->addWidget(buildGate());
    side->addLayout(buttons);
    side->addStretch();
    auto *body = new QHBoxLayout;
    body->addLayout(side);
    body->addWidget(buildTabs(), 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addLayout(body, 1);

    connect(windowBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        refresh();
        placeCursorsForSpan();
    });
    connect(quantityBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &StatisticsWindow::refresh);
    for (QSpinBox *box : {binWidthBox, confidenceBox, peakBox})
        connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, &StatisticsWindow::refresh);
    connect(copyButton, &QPushButton::clicked, this, &StatisticsWindow::copyText);
}

QWidget *StatisticsWindow::buildFigures()
{
    const QString names[FigureCount] = {tr("帧数"),   tr("平均值"), tr("标准差 (n−1)"), tr("最小值"), tr("最大值"),
                                        tr("峰峰值"), tr("中位数"), tr("滤除比例"), tr("接收帧率 (帧/秒)")};
    auto *box = new QWidget(this);
    auto *form = new QFormLayout(box);
    for (int i = 0; i < FigureCount; ++i) {
        figures[i] = new QLabel(QStringLiteral("-"), box);
        figures[i]->setObjectName(QStringLiteral("figure%1").arg(i));
        figures[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(names[i], figures[i]);
    }
    return box;
}

// The quality gate and what it kept: it applies to every figure, plot and
// computation of the window.
QWidget *StatisticsWindow::buildGate()
{
    auto *box = new QWidget(this);
    auto *form = new QFormLayout(box);
    confidenceBox = new QSpinBox(box);
    confidenceBox->setObjectName(QStringLiteral("minConfidenceBox"));
    confidenceBox->setRange(0, 255);
    peakBox = new QSpinBox(box);
    peakBox->setObjectName(QStringLiteral("minPeakBox"));
    peakBox->setRange(0, std::numeric_limits<int>::max());
    form->addRow(tr("置信度 ≥"), confidenceBox);
    form->addRow(tr("峰值 ≥"), peakBox);
    keptLabel = new QLabel(box);
    keptLabel->setObjectName(QStringLiteral("keptLabel"));
    form->addRow(keptLabel);
    return box;
}

QWidget *StatisticsWindow::buildTabs()
{
    buildPlots();
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("statisticsTabs"));
    auto *overview = new QWidget(tabs);
    auto *plots = new QVBoxLayout(overview);
    plots->setContentsMargins(0, 0, 0, 0);
    plots->addWidget(histogramPlot, 1);
    plots->addWidget(timePlot, 1);
    drift = new DriftPanel(tabs);
    allan = new AllanPanel(tabs);
    quality = new QualityPanel(tabs);
    tabs->addTab(overview, tr("概览"));
    tabs->addTab(drift, tr("预热漂移"));
    tabs->addTab(allan, tr("阿伦偏差"));
    tabs->addTab(quality, tr("信号质量"));
    labelTimeAxis();

    connect(tabs, &QTabWidget::currentChanged, this, [this] {
        refresh();
        replotCurrentTab();
    });
    connect(drift, &DriftPanel::settingsChanged, this,
            [this] { drift->showDrift(frames, quantity(), gate(), startNs); });
    connect(quality, &QualityPanel::measureChanged, this, &StatisticsWindow::refresh);
    return tabs;
}

void StatisticsWindow::buildPlots()
{
    histogramPlot = new QCustomPlot(this);
    histogramPlot->setObjectName(QStringLiteral("histogramPlot"));
    bars = new QCPBars(histogramPlot->xAxis, histogramPlot->yAxis);
    bars->setPen(QPen(QColor(Qt::darkBlue)));
    bars->setBrush(QBrush(QColor(Qt::blue)));
    bars->setAntialiased(false);
    histogramPlot->xAxis->setLabel(tr("距离"));
    histogramPlot->yAxis->setLabel(tr("帧数"));

    timePlot = new QCustomPlot(this);
    timePlot->setObjectName(QStringLiteral("timePlot"));
    recentGraph = timePlot->addGraph();
    styleGraph(recentGraph);
    // Already reduced to a few points per pixel column, gaps as NaN.
    seriesGraph = timePlot->addGraph();
    styleGraph(seriesGraph);
    seriesGraph->setAdaptiveSampling(false);
    timePlot->yAxis->setLabel(tr("距离"));
    for (QCustomPlot *plot : {histogramPlot, timePlot}) {
        plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
        PlotTicks::keepLabelsApart(plot);
    }

    cursors = new PlotCursors(timePlot);
    cursors->setUnits(tr("秒"), QString());
    cursors->setDecimals(3, -1);
    cursors->setCurve([this](double seconds) -> std::optional<PlotCursors::CurvePoint> {
        const double t = double(nanosecondsOf(seconds));
        const qint64 i = CursorPair::nearestKey(frames.size(), [this](qint64 k) { return double(frames.at(k).timeNs); }, t);
        if (i < 0)
            return std::nullopt;
        return PlotCursors::CurvePoint{secondsOf(frames.at(i).timeNs), double(frames.at(i).value(quantity()))};
    });
    connect(cursors, &PlotCursors::changed, this, [this] { viewChanged = true; });
    buildTimePlotMenu();
    // Once the user drags or zooms the time plot it stays where put; a
    // double-click or the menu makes it follow the data again.
    connect(timePlot, &QCustomPlot::mouseWheel, this, [this] {
        following = false;
        viewChanged = true;
    });
    connect(timePlot, &QCustomPlot::mouseMove, this, [this](QMouseEvent *event) {
        if (event->buttons() & Qt::LeftButton) {
            following = false;
            viewChanged = true;
        }
    });
    connect(timePlot, &QCustomPlot::mouseDoubleClick, this, [this] {
        following = true;
        viewChanged = true;
    });
}

void StatisticsWindow::buildTimePlotMenu()
{
    timePlot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(timePlot, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(timePlot);
        cursors->addMenuActions(&menu, pos);
        menu.addSeparator();
        QAction *follow = menu.addAction(tr("跟随数据"));
        follow->setCheckable(true);
        follow->setChecked(following);
        connect(follow, &QAction::toggled, this, [this](bool on) {
            following = on;
            showTimePlot();
        });
        menu.exec(timePlot->mapToGlobal(pos));
    });
}

void StatisticsWindow::take(const MeasurementRecord &record)
{
    if (startNs < 0)
        startNs = record.hostNanoseconds;
    stats.add(RollingStatistics::sampleOf(record));
    frames.add(FrameSample::fromRecord(record));
}

void StatisticsWindow::markGap()
{
    frames.markGap();
}

double StatisticsWindow::secondsOf(qint64 timeNs) const
{
    return double(timeNs - startNs) / 1e9;
}

qint64 StatisticsWindow::nanosecondsOf(double seconds) const
{
    return startNs + qint64(std::llround(seconds * 1e9));
}

void StatisticsWindow::labelTimeAxis()
{
    const QString label = originIsStart ? tr("自开始的时间 (秒)") : tr("自第一帧起的时间 (秒)");
    timePlot->xAxis->setLabel(label);
    drift->setTimeLabel(label);
}

void StatisticsWindow::restart(qint64 originNs)
{
    stats.reset();
    frames.clear();
    originIsStart = originNs >= 0;
    startNs = originIsStart ? originNs : -1;
    labelTimeAxis();
    following = true;
    drift->clear();
    allan->clear();
    quality->clear();
    slowClock.invalidate();
    refresh();
}

int StatisticsWindow::window() const
{
    return windowBox->currentIndex();
}

Quantity StatisticsWindow::quantity() const
{
    return quantityBox->currentIndex() == 0 ? Quantity::FirstPoint : Quantity::FrameMean;
}

QualityGate StatisticsWindow::gate() const
{
    return QualityGate{confidenceBox->value(), peakBox->value()};
}

void StatisticsWindow::onTick()
{
    if (!isVisible())
        return;
    if (!freezeButton->isChecked()) {
        refresh();
    } else if (viewChanged) {
        // Frozen figures stay; only what the user moves follows.
        viewChanged = false;
        if (window() == Span)
            refresh();
        else if (tabs->currentIndex() == OverviewTab)
            showTimePlot();
    }
}

// The figures, and the plots of the tab shown: the others catch up when
// their tab is chosen.
void StatisticsWindow::refresh()
{
    viewChanged = false;
    const Figures f = computeFigures();
    showFigures(f);
    if (tabs->currentIndex() == OverviewTab) {
        showHistogram(f.histogram);
        showTimePlot();
    } else if (tabs->currentIndex() == QualityTab) {
        quality->showScatter(frames, f.from, f.to, quantity(), gate());
    }
    if (!freezeButton->isChecked())
        refreshSlow(false);
}

void StatisticsWindow::rangeOfWindow(Figures &f) const
{
    const int w = window();
    f.to = frames.size();
    if (w == SinceStart) {
        f.from = 0;
    } else if (w == Span) {
        const CursorPair &pair = cursors->pair();
        f.spanMissing = !pair.complete();
        if (f.spanMissing) {
            f.from = f.to = 0;
            return;
        }
        f.from = frames.lowerBound(nanosecondsOf(pair.low()) - kCursorToleranceNs);
        f.to = frames.lowerBound(nanosecondsOf(pair.high()) + kCursorToleranceNs + 1);
    } else {
        f.from = frames.firstOfLastFrames(RollingStatistics::windowSize(w));
    }
}

// The fixed windows without a gate come exact from the rolling statistics;
// a span, or any window under a gate, from the since-Start series, whose
// entries stand for one frame each until a long run thins it.
StatisticsWindow::Figures StatisticsWindow::computeFigures()
{
    Figures f;
    rangeOfWindow(f);
    const int w = window();
    if (w != Span && gate().keepsAll()) {
        f.summary = stats.summary(w, quantity());
        f.frames = {f.summary.count, f.summary.count};
        f.histogram = stats.histogram(w, quantity(), binWidthBox->value());
    } else if (!f.spanMissing) {
        const SpanFigures s = span.figures(frames, f.from, f.to, quantity(), gate());
        f.summary = s.summary;
        f.frames = s.frames;
        f.histogram = RollingStatistics::histogramOf(span.values(), binWidthBox->value());
    }
    return f;
}

void StatisticsWindow::showFigures(const Figures &f)
{
    const StatisticsSummary &s = f.summary;
    const bool any = s.count > 0;
    const QString none = QStringLiteral("-");
    figures[Count]->setText(QString::number(f.frames.kept));
    figures[Mean]->setText(any ? number(s.mean, 3) : none);
    figures[StdDev]->setText(s.count > 1 ? number(s.stdDev, 3) : none);
    figures[Minimum]->setText(any ? QString::number(s.minimum) : none);
    figures[Maximum]->setText(any ? QString::number(s.maximum) : none);
    figures[PeakToPeak]->setText(any ? QString::number(s.peakToPeak) : none);
    figures[Median]->setText(any ? number(s.median, 1) : none);
    figures[Blanked]->setText(any ? number(s.blankedShare * 100, 2) + QLatin1Char('%') : none);
    figures[Rate]->setText(s.count > 1 ? number(s.frameRate, 1) : none);
    keptLabel->setText(f.spanMissing ? tr("请放置光标 A 和 B")
                                     : tr("保留 %1 / %2 帧").arg(f.frames.kept).arg(f.frames.total));
    keptLabel->setToolTip(f.spanMissing ? tr("在时间曲线上按 Ctrl+单击，或用它的右键菜单") : QString());
}

void StatisticsWindow::showHistogram(const Histogram &h)
{
    QVector<double> keys, values;
    qint64 highest = 0;
    for (std::size_t i = 0; i < h.counts.size(); ++i) {
        keys.append(h.first + (double(i) + 0.5) * h.width - 0.5);
        values.append(double(h.counts[i]));
        highest = std::max(highest, h.counts[i]);
    }
    bars->setWidth(h.width);
    bars->setData(keys, values, true);
    if (!h.counts.empty()) {
        histogramPlot->xAxis->setRange(h.first - h.width, h.first + (int(h.counts.size()) + 1) * h.width);
        histogramPlot->yAxis->setRange(0, double(highest) * 1.1 + 1);
    }
    histogramPlot->replot();
}

void StatisticsWindow::showTimePlot()
{
    const bool wholeSeries = window() == SinceStart || window() == Span;
    recentGraph->setVisible(!wholeSeries);
    seriesGraph->setVisible(wholeSeries);
    if (wholeSeries) {
        recentGraph->data()->clear();
        showSeriesOnTimePlot();
    } else {
        seriesGraph->data()->clear();
        const qint64 n = std::min<qint64>(stats.historySize(), RollingStatistics::windowSize(window()));
        QVector<QCPGraphData> points(static_cast<int>(n));
        for (qint64 back = 0; back < n; ++back) {
            const auto &s = stats.recent(back);
            points[int(n - 1 - back)] = QCPGraphData(secondsOf(s.timeNs), s.value(quantity()));
        }
        recentGraph->data()->set(points, true);
        if (following && n > 0)
            recentGraph->rescaleAxes();
    }
    cursors->refresh();
    timePlot->replot();
}

// The series, reduced to the pixel columns of what the plot shows: the
// whole run while following, else the range the user moved it to.
void StatisticsWindow::showSeriesOnTimePlot()
{
    if (frames.size() == 0) {
        seriesGraph->data()->clear();
        return;
    }
    qint64 fromNs = frames.at(0).timeNs;
    qint64 toNs = frames.at(frames.size() - 1).timeNs;
    if (!following) {
        fromNs = nanosecondsOf(timePlot->xAxis->range().lower);
        toNs = nanosecondsOf(timePlot->xAxis->range().upper);
    }
    const int columns = qMax(100, timePlot->axisRect()->width());
    const SeriesColumns::Reduced reduced = SeriesColumns::reduce(frames, quantity(), startNs, fromNs, toNs, columns);
    QVector<QCPGraphData> points;
    points.reserve(int(reduced.points.size()));
    for (const SeriesColumns::Point &p : reduced.points)
        points.append(QCPGraphData(p.seconds, p.value));
    seriesGraph->data()->set(points, true);
    if (following && reduced.found) {
        const double from = secondsOf(fromNs), to = secondsOf(toNs);
        timePlot->xAxis->setRange(from, to > from ? to : from + 1);
        const double low = reduced.minimum, high = reduced.maximum;
        timePlot->yAxis->setRange(high > low ? low : low - 1, high > low ? high : high + 1);
    }
}

// The drift and the Allan deviation of the whole series, at most once per
// kSlowRefreshMs however often the rest refreshes.
void StatisticsWindow::refreshSlow(bool force)
{
    if (!force && slowClock.isValid() && slowClock.elapsed() < kSlowRefreshMs)
        return;
    slowClock.restart();
    ++slowRefreshCount;
    drift->showDrift(frames, quantity(), gate(), startNs);
    allan->showDeviation(frames, quantity(), gate());
}

void StatisticsWindow::replotCurrentTab()
{
    switch (tabs->currentIndex()) {
    case OverviewTab:
        histogramPlot->replot();
        timePlot->replot();
        break;
    case DriftTab:
        drift->plot()->replot();
        break;
    case AllanTab:
        allan->plot()->replot();
        break;
    case QualityTab:
        quality->plot()->replot();
        break;
    }
}

// Choosing the span with a cursor missing places it, at a third and two
// thirds of what the time plot shows, for the user to drag from there.
void StatisticsWindow::placeCursorsForSpan()
{
    const CursorPair &pair = cursors->pair();
    if (window() != Span || pair.complete() || frames.size() == 0)
        return;
    const QCPRange range = following ? QCPRange(secondsOf(frames.at(0).timeNs), secondsOf(frames.at(frames.size() - 1).timeNs))
                                     : timePlot->xAxis->range();
    if (!pair.has(PlotCursors::Cursor::A))
        cursors->place(PlotCursors::Cursor::A, range.lower + range.size() / 3);
    if (!pair.has(PlotCursors::Cursor::B))
        cursors->place(PlotCursors::Cursor::B, range.lower + range.size() * 2 / 3);
    refresh();
}

QString StatisticsWindow::text() const
{
    QStringList lines;
    lines << tr("窗口") + QLatin1Char('\t') + windowBox->currentText();
    const CursorPair &pair = cursors->pair();
    if (window() == Span && pair.complete()) {
        lines << tr("光标 A (秒)") + QLatin1Char('\t') + number(pair.position(PlotCursors::Cursor::A), 3);
        lines << tr("光标 B (秒)") + QLatin1Char('\t') + number(pair.position(PlotCursors::Cursor::B), 3);
    }
    lines << tr("距离") + QLatin1Char('\t') + quantityBox->currentText();
    const auto *form = static_cast<QFormLayout *>(figures[0]->parentWidget()->layout());
    for (int i = 0; i < FigureCount; ++i) {
        const auto *label = qobject_cast<QLabel *>(form->labelForField(figures[i]));
        lines << (label ? label->text() : QString()) + QLatin1Char('\t') + figures[i]->text();
    }
    lines << tr("置信度 ≥") + QLatin1Char('\t') + QString::number(confidenceBox->value());
    lines << tr("峰值 ≥") + QLatin1Char('\t') + QString::number(peakBox->value());
    lines << keptLabel->text();
    lines << drift->settleText();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void StatisticsWindow::copyText()
{
    QApplication::clipboard()->setText(text());
}
