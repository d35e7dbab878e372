#pragma once

#include "workflow/WarmUpDrift.h"

#include <QWidget>

class QCPGraph;
class QCPItemStraightLine;
class QCustomPlot;
class QDoubleSpinBox;
class QLabel;

// The statistics window's warm-up drift: the rolling mean over an interval
// the user sets (10 s by default) against time since Start, the band around
// its final value (± 2 mm by default) and when it settled.
class DriftPanel : public QWidget {
    Q_OBJECT
public:
    explicit DriftPanel(QWidget *parent = nullptr);

    // Computes the drift of `series` and shows it, with times counted from
    // `originNs` (the series' first frame when negative). One pass over the
    // series: call it at most about once a second.
    void showDrift(const FrameSeries &series, RollingStatistics::Quantity quantity, const QualityGate &gate,
                   qint64 originNs);
    void clear();
    void setTimeLabel(const QString &label);

    const DriftResult &result() const { return drift; }
    QString settleText() const;
    QCustomPlot *plot() const { return driftPlot; }

signals:
    // The interval or the band changed.
    void settingsChanged();

private:
    void showResult();

    QDoubleSpinBox *intervalBox = nullptr;
    QDoubleSpinBox *bandBox = nullptr;
    QLabel *settleLabel = nullptr;
    QCustomPlot *driftPlot = nullptr;
    QCPGraph *graph = nullptr;
    QCPItemStraightLine *bandLines[2] = {};
    QCPItemStraightLine *settleLine = nullptr;
    DriftResult drift;
    double offsetSeconds = 0; // from the origin to the series' first frame
    double shownInterval = WarmUpDrift::kDefaultWindowSeconds;
    double shownBand = WarmUpDrift::kDefaultBand;
};
