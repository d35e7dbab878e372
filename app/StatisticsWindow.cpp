#include "app/StatisticsWindow.h"

#include "app/LodGraph.h"
#include "app/PlotTicks.h"
#include "app/WindowFit.h"
#include "workflow/MeasurementFeed.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace {
using Quantity = RollingStatistics::Quantity;

enum Figure { Count, Mean, StdDev, Minimum, Maximum, PeakToPeak, Median, Blanked, Rate, FigureCount };

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
    for (auto &container : sinceStart)
        container.reset(new QCPGraphDataContainer);
    buildControls();
    connect(feed, &MeasurementFeed::frameMeasured, this, &StatisticsWindow::take);
    refreshTimer.setInterval(kRefreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, [this] {
        if (isVisible() && !freezeButton->isChecked())
            refresh();
    });
    refreshTimer.start();
    resize(720, 640);
    WindowFit::fitWhenShown(this);
}

void StatisticsWindow::buildControls()
{
    windowBox = new QComboBox(this);
    windowBox->setObjectName(QStringLiteral("windowBox"));
    windowBox->addItems({tr("最近 100 帧"), tr("最近 1000 帧"), tr("最近 10000 帧"), tr("自开始")});
    windowBox->setCurrentIndex(1);
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
    buildPlots();
    auto *plots = new QVBoxLayout;
    plots->addWidget(histogramPlot, 1);
    plots->addWidget(timePlot, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(freezeButton);
    buttons->addWidget(copyButton);
    auto *side = new QVBoxLayout;
    side->addWidget(buildFigures());
    side->addLayout(buttons);
    side->addStretch();
    auto *body = new QHBoxLayout;
    body->addLayout(side);
    body->addLayout(plots, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addLayout(body, 1);

    for (QComboBox *box : {windowBox, quantityBox})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &StatisticsWindow::refresh);
    connect(binWidthBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &StatisticsWindow::refresh);
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
    sinceStartGraph = new LodGraph(timePlot->xAxis, timePlot->yAxis);
    styleGraph(sinceStartGraph);
    labelTimeAxis();
    timePlot->yAxis->setLabel(tr("距离"));
    for (QCustomPlot *plot : {histogramPlot, timePlot}) {
        plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
        PlotTicks::keepLabelsApart(plot);
    }
}

void StatisticsWindow::take(const MeasurementRecord &record)
{
    if (startNs < 0)
        startNs = record.hostNanoseconds;
    const RollingStatistics::Sample sample = RollingStatistics::sampleOf(record);
    stats.add(sample);
    keepForTimePlot(double(sample.timeNs - startNs) / 1e9, sample);
}

void StatisticsWindow::keepForTimePlot(double seconds, const RollingStatistics::Sample &sample)
{
    if ((stats.total() - 1) % sinceStartStride != 0)
        return;
    if (sinceStart[0]->size() >= kMaxSinceStartPoints) {
        for (auto &container : sinceStart) {
            QVector<QCPGraphData> halved;
            halved.reserve(container->size() / 2 + 1);
            for (int i = 0; i < container->size(); i += 2)
                halved.append(*(container->constBegin() + i));
            container->set(halved, true);
        }
        sinceStartStride *= 2;
        if ((stats.total() - 1) % sinceStartStride != 0)
            return;
    }
    sinceStart[0]->add(QCPGraphData(seconds, sample.firstPoint));
    sinceStart[1]->add(QCPGraphData(seconds, sample.frameMean));
}

void StatisticsWindow::labelTimeAxis()
{
    timePlot->xAxis->setLabel(originIsStart ? tr("自开始的时间 (秒)") : tr("自第一帧起的时间 (秒)"));
}

void StatisticsWindow::restart(qint64 originNs)
{
    stats.reset();
    originIsStart = originNs >= 0;
    startNs = originIsStart ? originNs : -1;
    labelTimeAxis();
    sinceStartStride = 1;
    for (auto &container : sinceStart)
        container->clear();
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

void StatisticsWindow::refresh()
{
    showFigures(stats.summary(window(), quantity()));
    showHistogram();
    showTimePlot();
}

void StatisticsWindow::showFigures(const StatisticsSummary &s)
{
    const bool any = s.count > 0;
    const QString none = QStringLiteral("-");
    figures[Count]->setText(QString::number(s.count));
    figures[Mean]->setText(any ? number(s.mean, 3) : none);
    figures[StdDev]->setText(s.count > 1 ? number(s.stdDev, 3) : none);
    figures[Minimum]->setText(any ? QString::number(s.minimum) : none);
    figures[Maximum]->setText(any ? QString::number(s.maximum) : none);
    figures[PeakToPeak]->setText(any ? QString::number(s.peakToPeak) : none);
    figures[Median]->setText(any ? number(s.median, 1) : none);
    figures[Blanked]->setText(any ? number(s.blankedShare * 100, 2) + QLatin1Char('%') : none);
    figures[Rate]->setText(s.count > 1 ? number(s.frameRate, 1) : none);
}

void StatisticsWindow::showHistogram()
{
    const Histogram h = stats.histogram(window(), quantity(), binWidthBox->value());
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
    const bool unbounded = window() == RollingStatistics::kSinceStart;
    recentGraph->setVisible(!unbounded);
    sinceStartGraph->setVisible(unbounded);
    if (unbounded) {
        sinceStartGraph->setData(sinceStart[quantity() == Quantity::FirstPoint ? 0 : 1]);
    } else {
        const qint64 n = std::min<qint64>(stats.historySize(), RollingStatistics::windowSize(window()));
        QVector<QCPGraphData> points(static_cast<int>(n));
        for (qint64 back = 0; back < n; ++back) {
            const auto &s = stats.recent(back);
            points[int(n - 1 - back)] = QCPGraphData(double(s.timeNs - startNs) / 1e9, s.value(quantity()));
        }
        recentGraph->data()->set(points, true);
    }
    QCPGraph *shown = unbounded ? static_cast<QCPGraph *>(sinceStartGraph) : recentGraph;
    if (!shown->data()->isEmpty()) {
        shown->rescaleAxes();
    }
    timePlot->replot();
}

QString StatisticsWindow::text() const
{
    QStringList lines;
    lines << tr("窗口") + QLatin1Char('\t') + windowBox->currentText();
    lines << tr("距离") + QLatin1Char('\t') + quantityBox->currentText();
    const auto *form = static_cast<QFormLayout *>(figures[0]->parentWidget()->layout());
    for (int i = 0; i < FigureCount; ++i) {
        const auto *label = qobject_cast<QLabel *>(form->labelForField(figures[i]));
        lines << (label ? label->text() : QString()) + QLatin1Char('\t') + figures[i]->text();
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void StatisticsWindow::copyText()
{
    QApplication::clipboard()->setText(text());
}
