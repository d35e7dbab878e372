#pragma once

#include "app/LodGraph.h"
#include "app/PlotCurves.h"

#include <QTemporaryFile>

#include <QVector>
#include <qcustomplot.h>

// The points of a plot's graph, wherever the graph keeps them: a LodGraph in
// its curve store, any other graph in its own container.
namespace StoredCurves {

inline QVector<double> values(const QCPGraph *graph)
{
    QVector<double> out;
    if (const auto *stored = qobject_cast<const LodGraph *>(graph)) {
        out.resize(int(stored->curve().size()));
        stored->curve().read(0, out.size(), out.data());
        return out;
    }
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        out.append(it->value);
    return out;
}

inline QVector<double> keys(const QCPGraph *graph)
{
    QVector<double> out;
    if (const auto *stored = qobject_cast<const LodGraph *>(graph)) {
        for (qint64 i = 0; i < stored->curve().size(); ++i)
            out.append(stored->keyAt(i));
        return out;
    }
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        out.append(it->key);
    return out;
}

// Appends after the points the graph has (keys continuing its count).
inline void append(QCPGraph *graph, const QVector<double> &values)
{
    auto *stored = qobject_cast<LodGraph *>(graph);
    for (double v : values) {
        if (stored)
            stored->curve().append(v);
        else
            graph->addData(graph->dataCount(), v);
    }
}

// Plays curve-file text back into `plot` as the window does with a file.
inline bool play(QCustomPlot *plot, const QByteArray &text)
{
    QTemporaryFile file;
    if (!file.open() || file.write(text) != text.size() || !file.flush())
        return false;
    CurveStoreFile::Curves curves;
    if (!PlotCurves::load(plot, file.fileName(), &curves))
        return false;
    PlotCurves::show(plot, std::move(curves));
    return true;
}

} // namespace StoredCurves
