#include "workflow/MeasurementPipeline.h"

#include "link/QTRNet.h"
#include "workflow/CommandSet.h"
#include "workflow/MeasurementFeed.h"

#include <QDebug>

MeasurementPipeline::MeasurementPipeline(QTRNet *net, QObject *parent)
    : QObject(parent)
    , net(net)
    , measurementFeed(new MeasurementFeed(this))
{
    measurementFeed->setLinkCounters(&net->counters());
}

void MeasurementPipeline::listen()
{
    if (listening)
        return;
    listening = true;
    connect(net, &QTRNet::dataReady, this, &MeasurementPipeline::take, Qt::DirectConnection);
}

const FrameOutcome *MeasurementPipeline::process(const TRData &pack)
{
    if (pack.cmd != CommandSet::kStart)
        return nullptr;
    if (!measurement.process(pack.data.data(), pack.data.size(), outcome))
        return nullptr;
    measurementFeed->publish(pack.data.data(), pack.data.size(), outcome, measurement.frameRate);
    return &outcome;
}

void MeasurementPipeline::take(TRData *pack)
{
    if (pack->cmd != CommandSet::kStart)
        return;
    if (pack->data.size() < CommandSet::minimumPayload(pack->cmd)) {
        qDebug().noquote() << CommandSet::shortPayloadLine(pack->cmd, pack->data.size());
        emit shortFrameDropped();
        return;
    }
    process(*pack);
}
