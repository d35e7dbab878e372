#include "link/TrafficLog.h"

#include "link/QTRNet.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>

TrafficLog::TrafficLog(QObject *parent)
    : QObject(parent)
{
}

TrafficLog::~TrafficLog()
{
    detach();
}

void TrafficLog::attach(QTRNet *endpoint)
{
    detach();
    if (!endpoint)
        return;
    if (ring.empty())
        ring.resize(kCapacity);
    net = endpoint;
    net->setScanObserver(this);
    sent = connect(net, &QTRNet::frameSent, this, &TrafficLog::recordOutgoing);
    // An endpoint destroyed first leaves nothing to detach from.
    gone = connect(net, &QObject::destroyed, this, [this] { net = nullptr; });
}

void TrafficLog::detach()
{
    if (!net)
        return;
    net->setScanObserver(nullptr);
    disconnect(sent);
    disconnect(gone);
    net = nullptr;
}

void TrafficLog::recordOutgoing(const QByteArray &frame)
{
    add(TrafficRecord::Kind::Frame, true, reinterpret_cast<const quint8 *>(frame.constData()), frame.size());
}

void TrafficLog::damagedFrame(const quint8 *bytes, int size)
{
    add(TrafficRecord::Kind::Damaged, false, bytes, size);
}

void TrafficLog::skippedBytes(const quint8 *bytes, int size)
{
    add(TrafficRecord::Kind::Skipped, false, bytes, size);
}

void TrafficLog::goodFrame(const quint8 *bytes, int size)
{
    add(TrafficRecord::Kind::Frame, false, bytes, size);
}

void TrafficLog::add(TrafficRecord::Kind kind, bool outgoing, const quint8 *bytes, int size)
{
    if (isPaused || ring.empty())
        return;
    TrafficRecord &r = ring[std::size_t(next % kCapacity)];
    r.msSinceEpoch = QDateTime::currentMSecsSinceEpoch();
    r.kind = kind;
    r.outgoing = outgoing;
    r.size = size;
    r.kept = std::min(size, TrafficRecord::kKeptBytes);
    std::memcpy(r.bytes, bytes, std::size_t(r.kept));
    ++next;
    first = std::max(first, next > quint64(kCapacity) ? next - kCapacity : 0);
}
