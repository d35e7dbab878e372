#pragma once

#include "results/ResultsReader.h"

#include <qcustomplot.h>

// One unit's bias at each reference distance across its runs, oldest run at
// the left: a line per reference, so a unit drifting at one distance shows.
// Runs are spaced evenly (by their order, labelled with their start time):
// what matters is the change from run to run, not the days between them.
class UnitTrendPlot : public QCustomPlot {
    Q_OBJECT
public:
    explicit UnitTrendPlot(QWidget *parent = nullptr);

    // Replaces what is shown; empty points clear the plot.
    void showTrend(const std::vector<TrendPoint> &points);
};
