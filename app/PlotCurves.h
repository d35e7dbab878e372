#pragma once

#include <QByteArray>
#include <QString>

class QCustomPlot;

// Moves the plot's curves to and from curve-file text.
namespace PlotCurves {

// Records every graph of the plot into `path`, replacing it only when the
// whole text was written; on failure a previous file there stays untouched.
bool save(const QCustomPlot &plot, const QString &path);

// Replaces all graphs by the curves of `text`, keyed 0, 1, 2, ... With no
// curve in the text the plot is left without graphs and its axes as they are.
// False, with the plot untouched, when the text holds more than playback
// takes in (CurveFile::parseCurves).
bool show(QCustomPlot *plot, const QByteArray &text);

} // namespace PlotCurves
