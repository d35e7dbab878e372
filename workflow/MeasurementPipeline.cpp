#include "workflow/MeasurementPipeline.h"

#include "link/QTRNet.h"
#include "workflow/CommandSet.h"

MeasurementPipeline::MeasurementPipeline(QObject *parent)
    : QObject(parent)
{
}

void MeasurementPipeline::attach(QTRNet *net)
{
    measurementFeed.setLinkCounters(&net->counters());
    connect(net, &QTRNet::dataReady, this, [this](TRData *pack) { take(*pack); });
    connect(net, &QObject::destroyed, this, [this] { measurementFeed.setLinkCounters(nullptr); });
}

void MeasurementPipeline::take(const TRData &pack)
{
    if (pack.cmd != CommandSet::kStart)
        return;
    FrameOutcome outcome;
    if (!measurement.process(pack.data.data(), pack.data.size(), outcome)) {
        ++tooShort;
        return;
    }
    ++processed;
    measurementFeed.publish(pack.data.data(), pack.data.size(), outcome, measurement.frameRate);
}
