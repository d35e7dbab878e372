#pragma once

#include "workflow/AllanDeviation.h"

#include <QWidget>

class QCPGraph;
class QCustomPlot;
class QLabel;
class QPushButton;

// The statistics window's Allan deviation: ADEV against τ on a log-log
// plot, from one frame interval to a third of the run, and a button that
// copies the τ and ADEV columns as text. Keeps its AllanDeviation between
// calls, so that each pays for the frames that arrived since the last.
class AllanPanel : public QWidget {
    Q_OBJECT
public:
    explicit AllanPanel(QWidget *parent = nullptr);

    // Computes the deviation over `series` and shows it; call at most about
    // once a second.
    void showDeviation(const FrameSeries &series, RollingStatistics::Quantity quantity, const QualityGate &gate);
    void clear();

    const std::vector<AllanPoint> &points() const { return shown; }
    // What the copy button puts on the clipboard.
    QString text() const { return AllanDeviation::text(shown); }
    QCustomPlot *plot() const { return allanPlot; }

private:
    void showPoints();

    AllanDeviation allan;
    std::vector<AllanPoint> shown;
    QCustomPlot *allanPlot = nullptr;
    QCPGraph *graph = nullptr;
    QLabel *noteLabel = nullptr;
    QPushButton *copyButton = nullptr;
};
