#include "app/PlotCurves.h"

#include "app/LodGraph.h"
#include "files/CurveFile.h"
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

// A LodGraph like the live ones: graph 0 becomes the live graph after the
// next Start or Clear, and must stay cheap however long it grows then.
QCPGraph *addPlaybackGraph(QCustomPlot *plot, int curve, const QVector<double> &values)
{
    QCPGraph *graph = new LodGraph(plot->xAxis, plot->yAxis);
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
    // In place only where the atomic way cannot work; a failure then leaves
    // the file cut short, which beats not recording at all.
    file.setDirectWriteFallback(CurveFile::mayWriteInPlace(path));
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

bool show(QCustomPlot *plot, const QByteArray &text)
{
    CurveFile::Curves curves;
    if (!CurveFile::parseCurves(text, &curves))
        return false;
    plot->clearGraphs();
    for (int k = 0; k < curves.size(); ++k) {
        addPlaybackGraph(plot, k, curves.at(k));
        curves[k] = {};
    }
    if (plot->graphCount() > 0) {
        plot->graph(0)->rescaleValueAxis(false);
        plot->xAxis->setRange(0, plot->graph(plot->graphCount() - 1)->dataCount() + kKeyMargin);
    }
    plot->replot();
    return true;
}

} // namespace PlotCurves
