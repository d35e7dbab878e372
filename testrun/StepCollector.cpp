#include "testrun/StepCollector.h"

namespace TestRun {

StepCollector::StepCollector(Quantity quantity, int minConfidence)
    : quantity(quantity)
    , minConfidence(minConfidence)
{
}

void StepCollector::restart(Quantity q, int confidence)
{
    quantity = q;
    minConfidence = confidence;
    kept = WindowStatistics();
    seen = 0;
    blankedSeen = 0;
    firstNs = 0;
    lastNs = 0;
}

void StepCollector::add(const MeasurementRecord &record)
{
    const RollingStatistics::Sample sample = RollingStatistics::sampleOf(record);
    if (seen == 0)
        firstNs = sample.timeNs;
    lastNs = sample.timeNs;
    ++seen;
    blankedSeen += sample.blanked ? 1 : 0;
    if (record.firstConfidence >= minConfidence && !record.distances.empty())
        kept.add(sample.value(quantity), sample.blanked);
}

StatisticsSummary StepCollector::summary() const
{
    StatisticsSummary s = kept.summary();
    s.blankedShare = seen > 0 ? double(blankedSeen) / double(seen) : 0;
    const qint64 span = lastNs - firstNs;
    s.frameRate = seen > 1 && span > 0 ? double(seen - 1) * 1e9 / double(span) : 0;
    return s;
}

void StepCollector::fillFigures(StepResult &step) const
{
    const StatisticsSummary s = summary();
    step.framesKept = s.count;
    step.framesSeen = seen;
    step.meanMm = s.mean;
    step.biasMm = s.count > 0 ? s.mean - step.referenceMm : 0;
    step.stdMm = s.stdDev;
    step.minMm = s.minimum;
    step.maxMm = s.maximum;
    step.medianMm = s.median;
    // Whole counts first, one division: 5 of 500 gives exactly 1 %.
    step.blankedPercent = seen > 0 ? 100.0 * double(blankedSeen) / double(seen) : 0;
    step.rateHz = s.frameRate;
}

} // namespace TestRun
