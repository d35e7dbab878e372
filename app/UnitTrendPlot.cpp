#include "app/UnitTrendPlot.h"

#include <QMap>
#include <QSharedPointer>

#include <cmath>

namespace {
// At most this many run labels on the axis; the others are left blank.
constexpr int kMaxLabels = 8;

QColor seriesColor(int i)
{
    static const QColor palette[] = {Qt::blue, Qt::red, QColor(0, 140, 0), Qt::magenta, QColor(230, 140, 0),
                                     Qt::darkCyan, Qt::darkYellow, Qt::black};
    return palette[i % int(std::size(palette))];
}
} // namespace

UnitTrendPlot::UnitTrendPlot(QWidget *parent)
    : QCustomPlot(parent)
{
    setObjectName(QStringLiteral("unitTrendPlot"));
    xAxis->setLabel(tr("测试（按时间先后）"));
    yAxis->setLabel(tr("偏差 (mm)"));
    legend->setVisible(true);
    legend->setFont(font());
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    setMinimumHeight(180);
}

void UnitTrendPlot::showTrend(const std::vector<TrendPoint> &points)
{
    clearGraphs();
    // Runs in the order given (oldest first), numbered from 1.
    QMap<qint64, int> runNumber;
    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
    QMap<double, QVector<QPair<double, double>>> byReference;
    for (const TrendPoint &p : points) {
        if (!runNumber.contains(p.runId))
            runNumber.insert(p.runId, runNumber.size() + 1);
        const int x = runNumber.value(p.runId);
        if (std::isfinite(p.biasMm))
            byReference[p.referenceMm].append({double(x), p.biasMm});
    }
    const int runs = runNumber.size();
    const int every = qMax(1, (runs + kMaxLabels - 1) / kMaxLabels);
    QMap<int, QDateTime> starts;
    for (const TrendPoint &p : points)
        starts.insert(runNumber.value(p.runId), p.startedUtc);
    for (auto it = starts.begin(); it != starts.end(); ++it) {
        if ((it.key() - 1) % every == 0)
            ticker->addTick(it.key(), it.value().toLocalTime().toString(QStringLiteral("MM-dd\nHH:mm")));
    }
    xAxis->setTicker(ticker);

    int series = 0;
    for (auto it = byReference.begin(); it != byReference.end(); ++it, ++series) {
        QCPGraph *graph = addGraph();
        graph->setName(tr("%1 mm").arg(it.key()));
        graph->setPen(QPen(seriesColor(series)));
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 5));
        for (const auto &[x, bias] : it.value())
            graph->addData(x, bias);
    }
    legend->setVisible(graphCount() > 0);
    xAxis->setRange(0.5, qMax(1, runs) + 0.5);
    rescaleAxes(true);
    xAxis->setRange(0.5, qMax(1, runs) + 0.5);
    yAxis->scaleRange(1.2, yAxis->range().center());
    if (yAxis->range().size() < 1)
        yAxis->setRange(yAxis->range().center() - 1, yAxis->range().center() + 1);
    replot();
}
