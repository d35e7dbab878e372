#pragma once

#include "workflow/QualityScatter.h"

#include <QWidget>

class QCPColorMap;
class QCPGraph;
class QCPItemStraightLine;
class QComboBox;
class QCustomPlot;

// The statistics window's signal quality: the distance against the peak,
// the noise or the confidence (the user's choice) of each frame of the
// chosen window, as points (grey where the quality gate refuses them) or,
// for many frames, as a 2-D histogram; the gate's bound as a line.
class QualityPanel : public QWidget {
    Q_OBJECT
public:
    explicit QualityPanel(QWidget *parent = nullptr);

    // Entries [from, to) of `series`. O(to - from).
    void showScatter(const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity quantity,
                     const QualityGate &gate);
    void clear();

    QualityScatter::Measure measure() const;
    QCustomPlot *plot() const { return qualityPlot; }

signals:
    void measureChanged();

private:
    void showGateLine(const QualityGate &gate);

    QComboBox *measureBox = nullptr;
    QCustomPlot *qualityPlot = nullptr;
    QCPGraph *kept = nullptr;
    QCPGraph *refused = nullptr;
    QCPColorMap *map = nullptr;
    QCPItemStraightLine *gateLine = nullptr;
};
