#include "link/TrafficLog.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>

TrafficLog::TrafficLog(QObject *parent)
    : QObject(parent)
{
}

QByteArray TrafficLog::bytes(quint64 number) const
{
    if (number < first || number >= next)
        return {};
    const TrafficRecord &r = record(number);
    QByteArray copy(r.kept, Qt::Uninitialized);
    const std::size_t from = std::size_t(r.at % kByteCapacity);
    const std::size_t before = std::min(std::size_t(r.kept), byteStore.size() - from);
    std::memcpy(copy.data(), byteStore.data() + from, before);
    std::memcpy(copy.data() + before, byteStore.data(), std::size_t(r.kept) - before);
    return copy;
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
    if (isPaused || size <= 0)
        return;
    if (ring.empty()) {
        ring.resize(kCapacity);
        byteStore.resize(kByteCapacity);
    }
    TrafficRecord &r = ring[std::size_t(next % kCapacity)];
    r.msSinceEpoch = QDateTime::currentMSecsSinceEpoch();
    r.kind = kind;
    r.outgoing = outgoing;
    r.size = size;
    r.kept = std::min(size, kMaxKept);
    r.at = bytesKept;
    std::memset(r.head, 0, sizeof r.head);
    std::memcpy(r.head, bytes, std::size_t(std::min(r.kept, TrafficRecord::kHeadBytes)));
    store(bytes, r.kept);
    ++next;
    // The oldest records go when their slot or their bytes were taken.
    first = std::max(first, next > quint64(kCapacity) ? next - kCapacity : 0);
    const quint64 oldestByte = bytesKept > quint64(kByteCapacity) ? bytesKept - kByteCapacity : 0;
    while (first < next && record(first).at < oldestByte)
        ++first;
}

void TrafficLog::store(const quint8 *bytes, int count)
{
    const std::size_t at = std::size_t(bytesKept % kByteCapacity);
    const std::size_t before = std::min(std::size_t(count), byteStore.size() - at);
    std::memcpy(byteStore.data() + at, bytes, before);
    std::memcpy(byteStore.data(), bytes + before, std::size_t(count) - before);
    bytesKept += quint64(count);
}
