#include "app/PlotCurves.h"

#include "app/LodGraph.h"
#include "files/CurveFile.h"
#include "files/CurveTextWriter.h"

#include <QSaveFile>
#include <qcustomplot.h>

namespace PlotCurves {

namespace {
constexpr double kKeyMargin = 10;
// Each played-back curve keeps its last, partial chunk in memory: small
// chunks (8,192 values, 64 KiB) keep a file of many curves just under a
// chunk long from holding them all resident (1,024 curves: 64 MiB at most).
constexpr int kPlaybackChunkShift = 13;

bool writeGraph(const QCPGraph &graph, CurveTextWriter *writer)
{
    if (const auto *stored = qobject_cast<const LodGraph *>(&graph))
        return CurveStoreFile::write({&stored->curve()}, writer);
    const QSharedPointer<QCPGraphDataContainer> data = graph.data();
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        writer->addValue(it->value);
    writer->endCurve();
    return true;
}

// A LodGraph like the live ones: graph 0 becomes the live graph after the
// next Start or Clear, and must stay cheap however long it grows then.
void addPlaybackGraph(QCustomPlot *plot, int curve, std::unique_ptr<CurveStore> store, CurveAxis axis)
{
    auto *graph = new LodGraph(plot->xAxis, plot->yAxis, std::move(store));
    graph->setCurveAxis(axis);
    graph->setPen(QPen(QColor(CurveFile::playbackColour(curve))));
    graph->setBrush(QBrush(Qt::NoBrush));
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
    for (int i = 0; i < plot.graphCount(); ++i) {
        if (!writeGraph(*plot.graph(i), &writer)) {
            file.cancelWriting();
            return false;
        }
    }
    if (!writer.finish()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool load(QCustomPlot *plot, const QString &path, CurveStoreFile::Curves *curves, qint64 maxPoints)
{
    return CurveStoreFile::load(path, LodGraph::spillFileOf(plot), curves, maxPoints, CurveStoreFile::kMaxCurves,
                                kPlaybackChunkShift);
}

void show(QCustomPlot *plot, CurveStoreFile::Curves curves)
{
    // The curves keep the axis the plot shows; without times they are keyed
    // by index on either.
    CurveAxis axis = CurveAxis::Points;
    for (int i = 0; i < plot->graphCount(); ++i)
        if (const auto *graph = qobject_cast<const LodGraph *>(plot->graph(i)))
            axis = graph->curveAxis();
    plot->clearGraphs();
    for (std::size_t k = 0; k < curves.size(); ++k)
        addPlaybackGraph(plot, int(k), std::move(curves[k]), axis);
    if (plot->graphCount() > 0) {
        plot->graph(0)->rescaleValueAxis(false);
        plot->xAxis->setRange(0, plot->graph(plot->graphCount() - 1)->dataCount() + kKeyMargin);
    }
    plot->replot();
}

} // namespace PlotCurves
