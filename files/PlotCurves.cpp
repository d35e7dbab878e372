#include "files/PlotCurves.h"

#include "files/CurveFile.h"
#include "files/CurveTextReader.h"
#include "files/CurveTextWriter.h"

#include <QSaveFile>
#include <qcustomplot.h>

namespace PlotCurves {

namespace {
constexpr double kKeyMargin = 10;

void writeGraph(const QCPGraph &graph, CurveTextWriter *writer)
{
    const QSharedPointer<QCPGraphDataContainer> data = graph.data();
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        writer->addValue(it->value);
    writer->endCurve();
}

QCPGraph *addPlaybackGraph(QCustomPlot *plot, int curve, const QVector<double> &values)
{
    QCPGraph *graph = plot->addGraph();
    graph->setPen(QPen(QColor(CurveFile::playbackColour(curve))));
    graph->setBrush(QBrush(Qt::NoBrush));
    QVector<QCPGraphData> points;
    points.reserve(values.size());
    for (int n = 0; n < values.size(); ++n)
        points.append(QCPGraphData(n, values.at(n)));
    graph->data()->set(points, true);
    return graph;
}
} // namespace

bool save(const QCustomPlot &plot, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    CurveTextWriter writer(&file);
    for (int i = 0; i < plot.graphCount(); ++i)
        writeGraph(*plot.graph(i), &writer);
    if (!writer.finish()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void show(QCustomPlot *plot, const QByteArray &text)
{
    plot->clearGraphs();
    CurveTextReader reader(text);
    QVector<double> values;
    int lastCount = 0;
    while (reader.nextCurve(&values)) {
        addPlaybackGraph(plot, plot->graphCount(), values);
        lastCount = values.size();
    }
    if (plot->graphCount() > 0) {
        plot->graph(0)->rescaleValueAxis(false);
        plot->xAxis->setRange(0, lastCount + kKeyMargin);
    }
    plot->replot();
}

} // namespace PlotCurves
