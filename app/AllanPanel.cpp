#include "app/AllanPanel.h"

#include "app/PlotTicks.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <cmath>

AllanPanel::AllanPanel(QWidget *parent)
    : QWidget(parent)
{
    allanPlot = new QCustomPlot(this);
    allanPlot->setObjectName(QStringLiteral("allanPlot"));
    graph = allanPlot->addGraph();
    graph->setPen(QPen(QColor(Qt::blue)));
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 4));
    graph->setAntialiased(false);
    for (QCPAxis *axis : {allanPlot->xAxis, allanPlot->yAxis}) {
        axis->setScaleType(QCPAxis::stLogarithmic);
        axis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
        // Powers of ten as 0.01 .. 100 and 10³ beyond; short spans fall back
        // to linear ticks, which need digits of their own.
        axis->setNumberFormat(QStringLiteral("gb"));
        axis->setNumberPrecision(3);
    }
    allanPlot->xAxis->setLabel(tr("τ (秒)"));
    allanPlot->yAxis->setLabel(tr("阿伦偏差 (mm)"));
    allanPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    PlotTicks::keepLabelsApart(allanPlot);

    noteLabel = new QLabel(this);
    noteLabel->setObjectName(QStringLiteral("allanNote"));
    noteLabel->setWordWrap(true);
    copyButton = new QPushButton(tr("复制阿伦偏差为文本"), this);
    copyButton->setObjectName(QStringLiteral("allanCopyButton"));
    connect(copyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text()); });

    auto *row = new QHBoxLayout;
    row->addWidget(noteLabel, 1);
    row->addWidget(copyButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(allanPlot, 1);
    showPoints();
}

void AllanPanel::showDeviation(const FrameSeries &series, RollingStatistics::Quantity quantity,
                               const QualityGate &gate)
{
    shown = allan.compute(series, quantity, gate);
    showPoints();
}

void AllanPanel::clear()
{
    shown.clear();
    showPoints();
}

void AllanPanel::showPoints()
{
    QVector<double> taus, deviations;
    for (const AllanPoint &p : shown) {
        // A deviation of exactly 0 (a constant distance) has no place on a log axis.
        if (p.deviation > 0) {
            taus.append(p.tauSeconds);
            deviations.append(p.deviation);
        }
    }
    graph->setData(taus, deviations, true);
    noteLabel->setText(shown.empty() ? tr("数据不足：至少需要三帧") : tr("τ 从一帧间隔到运行时间的三分之一"));
    copyButton->setEnabled(!shown.empty());
    if (!taus.isEmpty()) {
        graph->rescaleAxes();
        // A decade of room at least, so a single point or a flat curve has ticks.
        for (QCPAxis *axis : {allanPlot->xAxis, allanPlot->yAxis}) {
            const QCPRange r = axis->range();
            const double middle = std::sqrt(r.lower * r.upper);
            axis->setRange(qMin(r.lower, middle / 3.2) / 1.2, qMax(r.upper, middle * 3.2) * 1.2);
        }
    }
    if (isVisible())
        allanPlot->replot();
}
