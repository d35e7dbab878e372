#pragma once

#include "workflow/FrameSeries.h"

#include <QCoreApplication>
#include <QString>

#include <vector>

struct AllanPoint {
    double tauSeconds = 0;
    double deviation = 0; // in the distance's unit
    qint64 factor = 0;    // entries averaged per window
    qint64 terms = 0;     // pairs of windows it rests on
};

// The overlapping Allan deviation of the distance against the averaging
// time tau, from one entry (one frame until the series thins) to a third of
// the run, at log-spaced tau. Each tau costs one pass over prefix sums, so
// the whole is O(n log n).
//
// Missing frames are those blanked or refused by the gate. They stay in
// place, so that tau keeps meaning time: a window's average is over the
// frames it holds that are present, and a pair of windows counts only when
// each has at least half of its frames present. Gaps (FrameSeries) split the
// run into stretches; no window reaches across one, and the stretches' terms
// are pooled.
class AllanDeviation {
    Q_DECLARE_TR_FUNCTIONS(AllanDeviation)
public:
    static constexpr int kFactorsPerDecade = 10;

    // 1 .. maxFactor at kFactorsPerDecade a decade, rounded, ascending.
    static std::vector<qint64> factors(qint64 maxFactor);

    // Tau values no pair of windows fits in are left out.
    static std::vector<AllanPoint> compute(const FrameSeries &series, RollingStatistics::Quantity quantity,
                                           const QualityGate &gate = QualityGate());

    // Tab-separated: a header line, then tau (s) and the deviation per line.
    static QString text(const std::vector<AllanPoint> &points);
};
