#include "app/QualityPanel.h"

#include "app/PlotTicks.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <cmath>

namespace {

QCPGraph *dots(QCustomPlot *plot, const QColor &colour)
{
    QCPGraph *graph = plot->addGraph();
    graph->setLineStyle(QCPGraph::lsNone);
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, colour, 3));
    graph->setAntialiased(false);
    graph->setAntialiasedScatters(false);
    return graph;
}

QVector<double> column(const std::vector<QualityScatter::Point> &points, bool quality)
{
    QVector<double> out;
    out.reserve(int(points.size()));
    for (const QualityScatter::Point &p : points)
        out.append(quality ? p.quality : p.distance);
    return out;
}

} // namespace

QualityPanel::QualityPanel(QWidget *parent)
    : QWidget(parent)
{
    measureBox = new QComboBox(this);
    measureBox->setObjectName(QStringLiteral("qualityMeasureBox"));
    measureBox->addItems({tr("峰值"), tr("噪声"), tr("置信度")});
    qualityPlot = new QCustomPlot(this);
    qualityPlot->setObjectName(QStringLiteral("qualityPlot"));
    map = new QCPColorMap(qualityPlot->xAxis, qualityPlot->yAxis);
    QCPColorGradient gradient;
    gradient.setColorStopAt(0, QColor(Qt::white));
    gradient.setColorStopAt(0.05, QColor(180, 200, 255));
    gradient.setColorStopAt(1, QColor(Qt::darkBlue));
    map->setGradient(gradient);
    map->setInterpolate(false);
    map->setVisible(false);
    refused = dots(qualityPlot, QColor(Qt::lightGray));
    kept = dots(qualityPlot, QColor(Qt::blue));
    gateLine = new QCPItemStraightLine(qualityPlot);
    gateLine->setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
    gateLine->setSelectable(false);
    gateLine->setVisible(false);
    qualityPlot->yAxis->setLabel(tr("距离"));
    qualityPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    PlotTicks::keepLabelsApart(qualityPlot);

    auto *row = new QHBoxLayout;
    auto *label = new QLabel(tr("横轴"), this);
    label->setBuddy(measureBox);
    row->addWidget(label);
    row->addWidget(measureBox);
    row->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(qualityPlot, 1);
    qualityPlot->xAxis->setLabel(measureBox->currentText());
    connect(measureBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        qualityPlot->xAxis->setLabel(measureBox->currentText());
        emit measureChanged();
    });
}

QualityScatter::Measure QualityPanel::measure() const
{
    return QualityScatter::Measure(measureBox->currentIndex());
}

void QualityPanel::showScatter(const FrameSeries &series, qint64 from, qint64 to,
                               RollingStatistics::Quantity quantity, const QualityGate &gate)
{
    const QualityScatter::Data data = QualityScatter::build(series, from, to, quantity, measure(), gate);
    map->setVisible(data.binned);
    kept->setVisible(!data.binned);
    refused->setVisible(!data.binned);
    if (data.binned) {
        map->data()->setSize(data.columns, data.rows);
        // Cells are centred on their keys: a bin of [v, v + w) sits at v + (w - 1) / 2,
        // where its whole values are.
        const double qStep = (data.qualityHigh - data.qualityLow) / data.columns;
        const double dStep = (data.distanceHigh - data.distanceLow) / data.rows;
        map->data()->setRange(QCPRange(data.qualityLow + (qStep - 1) / 2, data.qualityHigh - (qStep + 1) / 2),
                              QCPRange(data.distanceLow + (dStep - 1) / 2, data.distanceHigh - (dStep + 1) / 2));
        // Counts run over orders of magnitude: shown by the logarithm.
        for (int row = 0; row < data.rows; ++row)
            for (int col = 0; col < data.columns; ++col)
                map->data()->setCell(col, row, std::log10(1.0 + double(data.counts[std::size_t(row) * std::size_t(data.columns) + std::size_t(col)])));
        map->rescaleDataRange(true);
        map->rescaleAxes();
    } else {
        kept->setData(column(data.kept, true), column(data.kept, false));
        refused->setData(column(data.refused, true), column(data.refused, false));
        qualityPlot->rescaleAxes(true);
        for (QCPAxis *axis : {qualityPlot->xAxis, qualityPlot->yAxis})
            axis->scaleRange(1.1);
    }
    showGateLine(gate);
    if (isVisible())
        qualityPlot->replot();
}

void QualityPanel::showGateLine(const QualityGate &gate)
{
    const QualityScatter::Measure m = measure();
    const double bound = m == QualityScatter::Measure::Peak ? double(gate.minPeak) : double(gate.minConfidence);
    gateLine->setVisible(m != QualityScatter::Measure::Noise && bound > 0);
    gateLine->point1->setCoords(bound, 0);
    gateLine->point2->setCoords(bound, 1);
}

void QualityPanel::clear()
{
    kept->data()->clear();
    refused->data()->clear();
    map->setVisible(false);
    if (isVisible())
        qualityPlot->replot();
}
