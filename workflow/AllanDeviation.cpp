#include "workflow/AllanDeviation.h"

#include <cmath>
#include <limits>

namespace {

using Quantity = RollingStatistics::Quantity;

// Running sums over the entries of the series: of the present frames'
// values (less a reference, to keep the sums small), of the present
// frames, and of all frames. Sums[i] covers entries [0, i).
struct PrefixSums {
    std::vector<double> value;
    std::vector<double> present;
    std::vector<double> frames;
};

PrefixSums prefixSums(const FrameSeries &series, Quantity quantity, const QualityGate &gate)
{
    const qint64 n = series.size();
    PrefixSums p;
    p.value.resize(std::size_t(n + 1));
    p.present.resize(std::size_t(n + 1));
    p.frames.resize(std::size_t(n + 1));
    double reference = 0;
    for (qint64 i = 0; i < n; ++i) {
        const FrameEntry &e = series.at(i);
        if (e.averaged > 0) {
            reference = e.average(quantity);
            break;
        }
    }
    double value = 0, present = 0, frames = 0;
    for (qint64 i = 0; i < n; ++i) {
        const FrameEntry &e = series.at(i);
        if (e.averaged > 0 && gate.passes(e.confidence, e.peak)) {
            value += (double(e.average(quantity)) - reference) * e.averaged;
            present += e.averaged;
        }
        frames += e.frames;
        p.value[std::size_t(i + 1)] = value;
        p.present[std::size_t(i + 1)] = present;
        p.frames[std::size_t(i + 1)] = frames;
    }
    return p;
}

// Entries [from, to) between gaps.
struct Stretch {
    qint64 from;
    qint64 to;
    bool complete; // every frame present and every entry the same size
};

std::vector<Stretch> stretches(const FrameSeries &series, const PrefixSums &p)
{
    std::vector<Stretch> out;
    const qint64 n = series.size();
    qint64 from = 0;
    for (qint64 i = 1; i <= n; ++i) {
        if (i < n && !series.at(i).gapBefore())
            continue;
        bool complete = true;
        const double size = p.frames[std::size_t(from + 1)] - p.frames[std::size_t(from)];
        for (qint64 k = from; k < i && complete; ++k) {
            const double f = p.frames[std::size_t(k + 1)] - p.frames[std::size_t(k)];
            complete = f == size && p.present[std::size_t(k + 1)] - p.present[std::size_t(k)] == f;
        }
        out.push_back({from, i, complete});
        from = i;
    }
    return out;
}

struct Accumulated {
    double sum = 0; // of squared differences of window averages
    qint64 terms = 0;
};

// Every window of the stretch holds m·size present frames: the difference
// of two neighbouring averages is a second difference of the sums.
void addComplete(const PrefixSums &p, const Stretch &s, qint64 m, Accumulated &acc)
{
    const double *v = p.value.data();
    const double size = p.frames[std::size_t(s.from + 1)] - p.frames[std::size_t(s.from)];
    double sum = 0;
    const qint64 last = s.to - 2 * m;
    for (qint64 i = s.from; i <= last; ++i) {
        const double d = v[i + 2 * m] - 2 * v[i + m] + v[i];
        sum += d * d;
    }
    const double scale = 1.0 / (double(m) * size);
    acc.sum += sum * scale * scale;
    acc.terms += last - s.from + 1;
}

void addWithMissing(const PrefixSums &p, const Stretch &s, qint64 m, std::vector<double> &averages, Accumulated &acc)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const qint64 windows = s.to - s.from - m + 1;
    for (qint64 k = 0; k < windows; ++k) {
        const std::size_t i = std::size_t(s.from + k);
        const double present = p.present[i + std::size_t(m)] - p.present[i];
        const double frames = p.frames[i + std::size_t(m)] - p.frames[i];
        const bool enough = present > 0 && 2 * present >= frames;
        averages[std::size_t(k)] = enough ? (p.value[i + std::size_t(m)] - p.value[i]) / present : nan;
    }
    for (qint64 k = 0; k + m < windows; ++k) {
        const double d = averages[std::size_t(k + m)] - averages[std::size_t(k)];
        if (d == d) {
            acc.sum += d * d;
            ++acc.terms;
        }
    }
}

} // namespace

std::vector<qint64> AllanDeviation::factors(qint64 maxFactor)
{
    std::vector<qint64> out;
    for (int k = 0;; ++k) {
        const qint64 m = qint64(std::llround(std::pow(10.0, double(k) / kFactorsPerDecade)));
        if (m > maxFactor)
            break;
        if (out.empty() || m > out.back())
            out.push_back(m);
    }
    return out;
}

std::vector<AllanPoint> AllanDeviation::compute(const FrameSeries &series, Quantity quantity, const QualityGate &gate)
{
    std::vector<AllanPoint> out;
    const qint64 n = series.size();
    if (n < 3)
        return out;
    const PrefixSums p = prefixSums(series, quantity, gate);
    const std::vector<Stretch> parts = stretches(series, p);
    const double entrySeconds = series.frameIntervalNs() * double(series.frames()) / double(n) / 1e9;
    std::vector<double> averages;
    for (qint64 m : factors(n / 3)) {
        Accumulated acc;
        for (const Stretch &s : parts) {
            if (s.to - s.from < 2 * m)
                continue;
            if (s.complete) {
                addComplete(p, s, m, acc);
            } else {
                averages.resize(std::size_t(s.to - s.from));
                addWithMissing(p, s, m, averages, acc);
            }
        }
        if (acc.terms > 0)
            out.push_back({double(m) * entrySeconds, std::sqrt(acc.sum / (2.0 * double(acc.terms))), m, acc.terms});
    }
    return out;
}

QString AllanDeviation::text(const std::vector<AllanPoint> &points)
{
    QString out = tr("τ (秒)") + QLatin1Char('\t') + tr("阿伦偏差") + QLatin1Char('\n');
    for (const AllanPoint &point : points)
        out += QString::number(point.tauSeconds, 'g', 6) + QLatin1Char('\t') + QString::number(point.deviation, 'g', 6)
            + QLatin1Char('\n');
    return out;
}
