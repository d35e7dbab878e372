#include "link/TrafficTap.h"

#include "link/QTRNet.h"
#include "link/TrafficLog.h"

TrafficTap::TrafficTap(TrafficLog *log, QObject *parent)
    : QObject(parent)
    , log(log)
{
    connect(log, &QObject::destroyed, this, &TrafficTap::detach);
}

TrafficTap::~TrafficTap()
{
    detach();
}

void TrafficTap::attach(QTRNet *endpoint)
{
    detach();
    if (!endpoint)
        return;
    net = endpoint;
    net->setScanObserver(log);
    sent = connect(net, &QTRNet::frameSent, log, &TrafficLog::recordOutgoing);
}

void TrafficTap::detach()
{
    if (net)
        net->setScanObserver(nullptr);
    disconnect(sent);
    net = nullptr;
}
