#include "app/DriftPanel.h"

#include "app/PlotTicks.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace {

QCPItemStraightLine *guideLine(QCustomPlot *plot, const QColor &colour)
{
    auto *line = new QCPItemStraightLine(plot);
    line->setPen(QPen(colour, 1, Qt::DashLine));
    line->setSelectable(false);
    line->setVisible(false);
    return line;
}

} // namespace

DriftPanel::DriftPanel(QWidget *parent)
    : QWidget(parent)
{
    intervalBox = new QDoubleSpinBox(this);
    intervalBox->setObjectName(QStringLiteral("driftIntervalBox"));
    intervalBox->setDecimals(1);
    intervalBox->setRange(0.1, 86400);
    intervalBox->setValue(WarmUpDrift::kDefaultWindowSeconds);
    intervalBox->setPrefix(tr("滚动区间 "));
    intervalBox->setSuffix(tr(" 秒"));
    bandBox = new QDoubleSpinBox(this);
    bandBox->setObjectName(QStringLiteral("driftBandBox"));
    bandBox->setDecimals(1);
    bandBox->setRange(0.1, 10000);
    bandBox->setValue(WarmUpDrift::kDefaultBand);
    bandBox->setPrefix(tr("稳定带 ±"));
    bandBox->setSuffix(QStringLiteral(" mm"));
    settleLabel = new QLabel(this);
    settleLabel->setObjectName(QStringLiteral("settleLabel"));
    settleLabel->setWordWrap(true);
    settleLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    driftPlot = new QCustomPlot(this);
    driftPlot->setObjectName(QStringLiteral("driftPlot"));
    graph = driftPlot->addGraph();
    graph->setPen(QPen(QColor(Qt::blue)));
    graph->setAntialiased(false);
    driftPlot->yAxis->setLabel(tr("滚动平均距离"));
    driftPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    PlotTicks::keepLabelsApart(driftPlot);
    for (auto *&line : bandLines)
        line = guideLine(driftPlot, QColor(Qt::darkGray));
    settleLine = guideLine(driftPlot, QColor(0, 120, 0));

    auto *controls = new QHBoxLayout;
    controls->addWidget(intervalBox);
    controls->addWidget(bandBox);
    controls->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(settleLabel);
    layout->addWidget(driftPlot, 1);

    for (QDoubleSpinBox *box : {intervalBox, bandBox})
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &DriftPanel::settingsChanged);
    showResult();
}

void DriftPanel::setTimeLabel(const QString &label)
{
    driftPlot->xAxis->setLabel(label);
}

void DriftPanel::showDrift(const FrameSeries &series, RollingStatistics::Quantity quantity, const QualityGate &gate,
                           qint64 originNs)
{
    shownInterval = intervalBox->value();
    shownBand = bandBox->value();
    drift = WarmUpDrift::compute(series, quantity, gate, shownInterval, shownBand);
    offsetSeconds = series.size() > 0 && originNs >= 0 ? double(series.at(0).timeNs - originNs) / 1e9 : 0.0;
    showResult();
}

void DriftPanel::clear()
{
    drift = DriftResult();
    offsetSeconds = 0;
    showResult();
}

QString DriftPanel::settleText() const
{
    switch (drift.settle) {
    case DriftResult::Settle::Settled:
        return tr("稳定于 %1 秒后").arg(drift.settleSeconds + offsetSeconds, 0, 'f', 1);
    case DriftResult::Settle::NeverSettled:
        return tr("尚未稳定：最近 %1 秒内滚动平均值仍超出最终值 ±%2 mm")
            .arg(shownInterval, 0, 'g', 6)
            .arg(shownBand, 0, 'g', 6);
    case DriftResult::Settle::TooLittleData:
        break;
    }
    return tr("数据不足：需要至少两个滚动区间 (%1 秒) 的有效帧").arg(2 * shownInterval, 0, 'g', 6);
}

void DriftPanel::showResult()
{
    settleLabel->setText(settleText());
    QVector<double> keys, values;
    keys.reserve(int(drift.curve.size()));
    values.reserve(int(drift.curve.size()));
    for (const DriftPoint &p : drift.curve) {
        keys.append(p.seconds + offsetSeconds);
        values.append(p.mean);
    }
    graph->setData(keys, values, true);
    const bool any = !drift.curve.empty();
    for (int i = 0; i < 2; ++i) {
        const double y = drift.finalMean + (i == 0 ? shownBand : -shownBand);
        bandLines[i]->point1->setCoords(0, y);
        bandLines[i]->point2->setCoords(1, y);
        bandLines[i]->setVisible(any);
    }
    const bool settled = drift.settle == DriftResult::Settle::Settled;
    settleLine->point1->setCoords(drift.settleSeconds + offsetSeconds, 0);
    settleLine->point2->setCoords(drift.settleSeconds + offsetSeconds, 1);
    settleLine->setVisible(settled);
    if (any) {
        graph->rescaleAxes();
        const QCPRange y = driftPlot->yAxis->range();
        driftPlot->yAxis->setRange(qMin(y.lower, drift.finalMean - 2 * shownBand),
                                   qMax(y.upper, drift.finalMean + 2 * shownBand));
    }
    if (isVisible())
        driftPlot->replot();
}
