#include "workflow/AllanDeviation.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace {

using Quantity = RollingStatistics::Quantity;

// Term starts a pass takes before moving on to the next factor: the sums of
// a block stay in the cache while every factor reads them.
constexpr qint64 kBlock = 4096;
// Beyond this, dividing costs less than a table of reciprocals would.
constexpr qint64 kMaxReciprocals = qint64(1) << 21;

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

void AllanDeviation::startOver(const FrameSeries &series, Quantity q, const QualityGate &g)
{
    source = &series;
    generation = series.generation();
    quantity = q;
    gate = g;
    const std::size_t room = std::size_t(series.capacity()) + 1;
    for (auto *sums : {&presentSum, &frameSum}) {
        sums->clear();
        sums->reserve(room);
        sums->push_back(0);
    }
    valueSum.clear();
    valueSum.reserve(room);
    valueSum.push_back(0);
    stretches.clear();
    table.clear();
}

void AllanDeviation::takeEntries(const FrameSeries &series, qint64 upTo)
{
    for (qint64 i = qint64(frameSum.size()) - 1; i < upTo; ++i) {
        const FrameEntry &e = series.at(i);
        if (i == 0)
            reference = e.value(quantity);
        const bool present = e.averaged > 0 && gate.passes(e.confidence, e.peak);
        valueSum.push_back(valueSum.back() + (present ? (double(e.average(quantity)) - reference) * e.averaged : 0.0));
        presentSum.push_back(presentSum.back() + (present ? e.averaged : 0));
        frameSum.push_back(frameSum.back() + e.frames);
        if (i == 0 || e.gapBefore())
            stretches.push_back({i, e.frames, true});
        Stretch &s = stretches.back();
        if (s.entryFrames != e.frames)
            s.entryFrames = 0;
        s.complete = s.complete && s.entryFrames > 0 && present && e.averaged == e.frames;
    }
}

// Terms [from, to) of one factor inside one stretch, all of whose windows lie
// in it.
void AllanDeviation::addStretchTerms(const Stretch &s, Factor &factor, qint64 from, qint64 to)
{
    const qint64 m = factor.m;
    const double *v = valueSum.data();
    if (s.complete) {
        // Every window holds m·size present frames: the difference of two
        // neighbouring averages is a second difference of the sums. Four
        // partial sums keep the additions from waiting on each other.
        double part[4] = {0, 0, 0, 0};
        qint64 i = from;
        for (; i + 4 <= to; i += 4) {
            for (int k = 0; k < 4; ++k) {
                const double d = v[i + k + 2 * m] - 2 * v[i + k + m] + v[i + k];
                part[k] += d * d;
            }
        }
        for (; i < to; ++i) {
            const double d = v[i + 2 * m] - 2 * v[i + m] + v[i];
            part[0] += d * d;
        }
        const double scale = 1.0 / (double(m) * double(s.entryFrames));
        factor.squares += (part[0] + part[1] + part[2] + part[3]) * scale * scale;
        factor.terms += to - from;
        return;
    }
    const qint64 *p = presentSum.data();
    const qint64 *f = frameSum.data();
    const qint64 windowFrames = m * s.entryFrames;
    const double *table = reciprocals.data();
    const qint64 tableSize = qint64(reciprocals.size());
    const auto reciprocal = [&](qint64 present) {
        return present < tableSize ? table[present] : 1.0 / double(present);
    };
    // Every entry holds a frame at least, so half present also rules out an
    // empty window. Entries all of a size (the usual case) need no frame sums.
    const auto term = [&](qint64 i, qint64 &counted, auto uniform) {
        const qint64 pa = p[i + m] - p[i];
        const qint64 pb = p[i + 2 * m] - p[i + m];
        const qint64 fa = uniform ? windowFrames : f[i + m] - f[i];
        const qint64 fb = uniform ? windowFrames : f[i + 2 * m] - f[i + m];
        const bool counts = (2 * pa >= fa) & (2 * pb >= fb);
        const double d = (v[i + 2 * m] - v[i + m]) * reciprocal(pb) - (v[i + m] - v[i]) * reciprocal(pa);
        counted += counts;
        return counts ? d * d : 0.0;
    };
    double part0 = 0, part1 = 0;
    qint64 terms0 = 0, terms1 = 0;
    const auto run = [&](auto uniform) {
        qint64 i = from;
        for (; i + 2 <= to; i += 2) {
            part0 += term(i, terms0, uniform);
            part1 += term(i + 1, terms1, uniform);
        }
        if (i < to)
            part0 += term(i, terms0, uniform);
    };
    if (s.entryFrames > 0)
        run(std::true_type());
    else
        run(std::false_type());
    factor.squares += part0 + part1;
    factor.terms += terms0 + terms1;
}

// Sums every term whose windows lie within the first `upTo` entries and
// that is not summed yet, block by block across all factors.
void AllanDeviation::addTerms(qint64 upTo)
{
    const std::vector<qint64> ms = factors(upTo / 3);
    for (std::size_t j = table.size(); j < ms.size(); ++j)
        table.push_back({ms[j]});
    if (table.empty())
        return;
    qint64 mostEntryFrames = 1;
    for (const Stretch &s : stretches)
        mostEntryFrames = std::max(mostEntryFrames, s.entryFrames);
    const qint64 wantReciprocals = std::min(kMaxReciprocals, table.back().m * std::max<qint64>(mostEntryFrames, 2));
    for (qint64 k = qint64(reciprocals.size()); k <= wantReciprocals; ++k)
        reciprocals.push_back(k == 0 ? 0.0 : 1.0 / double(k));

    qint64 lowest = upTo;
    for (const Factor &factor : table)
        lowest = std::min(lowest, factor.done);
    for (qint64 k0 = lowest; k0 < upTo; k0 += kBlock) {
        for (Factor &factor : table) {
            const qint64 from = std::max(k0, factor.done);
            const qint64 to = std::min(k0 + kBlock, upTo - 2 * factor.m + 1);
            if (from >= to)
                continue;
            // The stretches the term starts fall in; a term counts only
            // when its last window ends in the stretch it starts in.
            auto s = std::upper_bound(stretches.begin(), stretches.end(), from,
                                      [](qint64 i, const Stretch &st) { return i < st.from; }) - 1;
            for (; s != stretches.end() && s->from < to; ++s) {
                const qint64 end = s + 1 == stretches.end() ? upTo : (s + 1)->from;
                const qint64 a = std::max(from, s->from);
                const qint64 b = std::min(to, end - 2 * factor.m + 1);
                if (a < b)
                    addStretchTerms(*s, factor, a, b);
            }
        }
    }
    for (Factor &factor : table)
        factor.done = std::max(factor.done, upTo - 2 * factor.m + 1);
}

std::vector<AllanPoint> AllanDeviation::compute(const FrameSeries &series, Quantity q, const QualityGate &g)
{
    const bool sameSums = source == &series && generation == series.generation() && quantity == q && gate == g
        && qint64(frameSum.size()) - 1 <= series.size();
    if (!sameSums)
        startOver(series, q, g);
    // Once entries take several frames, the newest may still grow.
    const qint64 settled = series.size() - (series.stride() > 1 ? 1 : 0);
    takeEntries(series, settled);
    addTerms(settled);

    std::vector<AllanPoint> out;
    if (settled < 3)
        return out;
    const double entrySeconds = series.frameIntervalNs() * double(frameSum.back()) / double(settled) / 1e9;
    for (const Factor &factor : table) {
        if (factor.terms > 0)
            out.push_back({double(factor.m) * entrySeconds, std::sqrt(factor.squares / (2.0 * double(factor.terms))),
                           factor.m, factor.terms});
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
