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
// the run, at log-spaced tau. Each tau costs one pass over running sums, so
// the whole is O(n log n); and an instance carries its sums from one call to
// the next, so that a window refreshing it every second only pays for the
// frames that arrived since (it starts over when the quantity or the gate
// changes, or the series was thinned or cleared).
//
// Missing frames are those blanked or refused by the gate. They stay in
// place, so that tau keeps meaning time: a window's average is over the
// frames it holds that are present, and a pair of windows counts only when
// each has at least half of its frames present. Gaps (FrameSeries) split the
// run into stretches; no window reaches across one, and the stretches' terms
// are pooled. The newest entry, still taking frames once the series has
// thinned, waits until it is complete.
class AllanDeviation {
    Q_DECLARE_TR_FUNCTIONS(AllanDeviation)
public:
    static constexpr int kFactorsPerDecade = 5;

    // 1 .. maxFactor at kFactorsPerDecade a decade, rounded, ascending.
    static std::vector<qint64> factors(qint64 maxFactor);

    // Tau values no pair of windows fits in are left out.
    std::vector<AllanPoint> compute(const FrameSeries &series, RollingStatistics::Quantity quantity,
                                    const QualityGate &gate = QualityGate());

    // Tab-separated: a header line, then tau (s) and the deviation per line.
    static QString text(const std::vector<AllanPoint> &points);

private:
    struct Stretch {
        qint64 from;        // first entry; the stretch runs to the next one's start
        qint64 entryFrames; // the frames of each entry when all hold as many, else 0
        bool complete;      // that, and every frame present
    };
    struct Factor {
        qint64 m;
        qint64 done = 0; // terms starting before this are summed
        double squares = 0;
        qint64 terms = 0;
    };

    void startOver(const FrameSeries &series, RollingStatistics::Quantity quantity, const QualityGate &gate);
    void takeEntries(const FrameSeries &series, qint64 upTo);
    void addTerms(qint64 upTo);
    void addStretchTerms(const Stretch &s, Factor &factor, qint64 from, qint64 to);

    // What the sums were made for.
    const FrameSeries *source = nullptr;
    quint64 generation = 0;
    RollingStatistics::Quantity quantity = RollingStatistics::Quantity::FirstPoint;
    QualityGate gate;
    double reference = 0; // subtracted from every value, to keep the sums small

    // Running sums over entries [0, i): of the present frames' values, of
    // the present frames, of all frames. Reserved for the series' capacity.
    std::vector<double> valueSum;
    std::vector<qint64> presentSum;
    std::vector<qint64> frameSum;
    std::vector<Stretch> stretches;
    std::vector<Factor> table;
    std::vector<double> reciprocals; // 1/k: present counts are whole numbers
};
