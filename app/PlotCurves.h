#pragma once

#include "curve/CurveStoreFile.h"

#include <QString>

class QCustomPlot;

// Moves the plot's curves to and from curve files, streamed both ways.
namespace PlotCurves {

// Records every graph of the plot into `path`, replacing it only when the
// whole text was written; on failure a previous file there stays untouched.
// A LodGraph's points are read from its store a few thousand at a time.
bool save(const QCustomPlot &plot, const QString &path);

// The curves of the file at `path` in new stores on the plot's spill file,
// at most `maxPoints` values in all; the plot is not touched. False, with
// `curves` untouched, when the file cannot be read or is past a bound
// (CurveStoreFile::load).
bool load(QCustomPlot *plot, const QString &path, CurveStoreFile::Curves *curves,
          qint64 maxPoints = CurveStoreFile::kMaxPoints);

// Replaces all graphs by `curves`, keyed 0, 1, 2, ... With no curve the plot
// is left without graphs and its axes as they are.
void show(QCustomPlot *plot, CurveStoreFile::Curves curves);

} // namespace PlotCurves
