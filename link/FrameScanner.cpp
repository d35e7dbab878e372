#include "link/FrameScanner.h"

#include <QtEndian>

#include <algorithm>

FrameScanner::Candidate FrameScanner::tryFrameAt(quint64 pos, quint64 end, TRCodec &codec)
{
    const auto *p = reinterpret_cast<const quint8 *>(buffer.constData()) + (pos - base);
    const quint64 avail = end - pos;
    if (!codec.isHeader(p))
        return Candidate::Bad;
    if (avail < codec.overhead) {
        lastNeed = pos + codec.overhead;
        return Candidate::Incomplete;
    }
    const quint32 n = qFromLittleEndian<quint16>(p + 8);
    if (n > avail - codec.overhead) {
        lastNeed = pos + codec.overhead + n;
        return Candidate::Incomplete;
    }
    return codec.decode(p, quint32(avail)) ? Candidate::Frame : Candidate::Bad;
}

// Incomplete frames whose bytes have all arrived, in stream order.
void FrameScanner::takeReadyPending(quint64 end)
{
    ready.clear();
    while (!pending.empty() && pending.top().first <= end) {
        const quint64 pos = pending.top().second;
        pending.pop();
        if (pendingStarts.erase(pos))
            ready.push_back(pos);
    }
    std::sort(ready.begin(), ready.end());
}

void FrameScanner::scan(TRData &packet, const std::function<void()> &found)
{
    TRCodec codec;
    const quint64 end = base + quint64(buffer.size());
    if (end - base < 5)
        return;
    takeReadyPending(end);

    quint64 i = base;
    quint64 consumedTo = base;
    size_t r = 0;
    for (;;) {
        while (r < ready.size() && ready[r] < i)
            ++r;
        const quint64 fresh = std::max(i, scanned);
        const bool haveFresh = fresh + 4 < end;
        const bool haveReady = r < ready.size();
        if (!haveFresh && !haveReady)
            break;
        quint64 pos;
        if (haveReady && (!haveFresh || ready[r] < fresh)) {
            pos = ready[r++];
        } else {
            pos = fresh;
            scanned = fresh + 1;
        }

        switch (tryFrameAt(pos, end, codec)) {
        case Candidate::Frame: {
            const quint32 len = codec.frameLen;
            const auto *p = reinterpret_cast<const quint8 *>(buffer.constData()) + (pos - base);
            packet.addr = p[4];
            packet.cmd = p[5];
            packet.offset = qFromLittleEndian<quint16>(p + 6);
            packet.data.assign(p + 10, p + len - 1);
            i = pos + len;
            consumedTo = i;
            scanned = std::max(scanned, i);
            found();
            break;
        }
        case Candidate::Incomplete:
            pending.emplace(lastNeed, pos);
            pendingStarts.insert(pos);
            i = pos + 1;
            break;
        case Candidate::Bad:
            i = pos + 1;
            break;
        }
    }

    if (consumedTo > base)
        discardFront(int(consumedTo - base));
    dropDeadPrefix();
}

void FrameScanner::discardFront(int count)
{
    buffer.remove(0, count);
    base += quint64(count);
    pendingStarts.erase(pendingStarts.begin(), pendingStarts.lower_bound(base));
}

// Bytes before the first position that may still start a frame can never be
// part of one. Keep some of them (a short run of noise is harmless), but not
// an unbounded pile from a wrong baud rate.
void FrameScanner::dropDeadPrefix()
{
    quint64 live = scanned;
    if (!pendingStarts.empty())
        live = std::min(live, *pendingStarts.begin());
    if (live > base && live - base > quint64(kDeadBytesKept))
        discardFront(int(live - base));
}
