#include "link/FrameScanner.h"

#include "link/TRCodec.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {
constexpr quint32 kHeaderWord = 0xAAAAAAAAu;
constexpr quint64 kOverhead = 11;
constexpr quint64 kMaxFrame = TRCodec::kMaxFrame;
constexpr std::size_t kCompactAfter = 64 * 1024;

bool isHeader(const quint8 *p) { return qFromLittleEndian<quint32>(p) == kHeaderWord; }
} // namespace

void FrameScanner::append(const QByteArray &bytes)
{
    const auto *in = reinterpret_cast<const quint8 *>(bytes.constData());
    const std::size_t n = std::size_t(bytes.size());
    const std::size_t at = store.size();
    store.insert(store.end(), in, in + n);
    sums.resize(at + n + 1);
    quint8 sum = sums[at];
    for (std::size_t k = 0; k < n; ++k) {
        sum = quint8(sum + in[k]);
        sums[at + k + 1] = sum;
    }
    counts.bytes += n;
}

FrameScanner::Judgement FrameScanner::judge(quint64 pos, quint64 end) const
{
    const quint8 *p = at(pos);
    if (!isHeader(p))
        return {Verdict::NotAFrame, 0};
    if (end - pos < kOverhead)
        return {Verdict::Incomplete, 0};
    const quint64 size = kOverhead + qFromLittleEndian<quint16>(p + 8);
    if (end - pos < size)
        return {Verdict::Incomplete, size};
    // The sum covers the descriptor and the payload: from byte 4 up to the checksum byte.
    const quint8 sum = quint8(sumBefore(pos + size - 1) - sumBefore(pos + 4));
    return {sum == p[size - 1] ? Verdict::Frame : Verdict::Damaged, size};
}

// First position in [from, limit) that holds a header word, or `limit`.
// Expects four readable bytes at every position below `limit`.
quint64 FrameScanner::nextHeader(quint64 from, quint64 limit) const
{
    const quint8 *first = at(from);
    const quint8 *stop = first + (limit - from);
    for (const quint8 *p = first; p < stop;) {
        if (isHeader(p))
            return from + quint64(p - first);
        const void *hit = std::memchr(p + 1, 0xAA, std::size_t(stop - (p + 1)));
        if (!hit)
            break;
        p = static_cast<const quint8 *>(hit);
    }
    return limit;
}

// Last position from `pos` on (below `limit`) whose header claims a frame of
// `size` bytes that is not complete at `end`.
quint64 FrameScanner::runOfSameClaim(quint64 pos, quint64 limit, quint64 end, quint64 size) const
{
    const quint16 length = quint16(size - kOverhead);
    const quint8 *p = at(pos);
    quint64 q = pos + 1;
    for (; q < limit && end - q >= kOverhead && end - q < size; ++q) {
        ++p;
        if (!isHeader(p) || qFromLittleEndian<quint16>(p + 8) != length)
            break;
    }
    return q - 1;
}

qint32 FrameScanner::wait(quint64 pos, quint64 size)
{
    if (buckets.empty())
        buckets.assign(kBuckets, -1);
    qint32 node = freeNodes;
    if (node >= 0) {
        freeNodes = nodes[std::size_t(node)].next;
    } else {
        node = qint32(nodes.size());
        nodes.push_back({});
    }
    Waiting &w = nodes[std::size_t(node)];
    w.first = pos;
    w.last = pos;
    w.size = size;
    ++waitingCount;
    relink(node);
    return node;
}

void FrameScanner::relink(qint32 node)
{
    Waiting &w = nodes[std::size_t(node)];
    const quint64 need = w.first + (w.size ? w.size : kOverhead);
    qint32 &bucket = buckets[std::size_t(need & (kBuckets - 1))];
    w.next = bucket;
    bucket = node;
}

void FrameScanner::release(qint32 node)
{
    nodes[std::size_t(node)].next = freeNodes;
    freeNodes = node;
    --waitingCount;
}

// Judges every waiting header whose frame may now be complete; keeps the
// good frames among them, in stream order, in `ready`.
void FrameScanner::takeCompleted(quint64 end)
{
    ready.clear();
    const quint64 last = std::min(end, drainedTo + kBuckets);
    for (quint64 need = drainedTo + 1; waitingCount > 0 && need <= last; ++need) {
        qint32 &bucket = buckets[std::size_t(need & (kBuckets - 1))];
        qint32 node = bucket;
        bucket = -1;
        while (node >= 0) {
            const qint32 next = nodes[std::size_t(node)].next;
            if (settle(node, end))
                release(node);
            else
                relink(node);
            node = next;
        }
    }
    drainedTo = end;
    std::sort(ready.begin(), ready.end());
}

// Judges the headers of a waiting run whose frames are now complete; true
// when none is left waiting.
bool FrameScanner::settle(qint32 node, quint64 end)
{
    Waiting &w = nodes[std::size_t(node)];
    if (w.last < base)
        return true; // consumed meanwhile
    w.first = std::max(w.first, base);
    if (w.size == 0) {
        const Judgement j = judge(w.first, end);
        if (j.verdict != Verdict::Incomplete) {
            if (j.verdict == Verdict::Frame)
                ready.push_back(w.first);
            else if (j.verdict == Verdict::Damaged)
                noteDamaged(w.first, j.size);
            return true;
        }
        w.size = j.size;
        return false;
    }
    if (end - w.first < w.size)
        return false;
    const quint64 stop = std::min(w.last, end - w.size);
    settleKnown(w.first, stop + 1, w.size);
    w.first = stop + 1;
    return stop == w.last;
}

// Headers at [from, to), each claiming a frame of `size` bytes that is all there.
void FrameScanner::settleKnown(quint64 from, quint64 to, quint64 size)
{
    const quint8 *checksums = at(from) + size - 1;
    const quint8 *sumAtStart = sums.data() + head + (from - base) + 4;
    const quint8 *sumAtEnd = sumAtStart + size - 5;
    for (quint64 k = 0, n = to - from; k < n; ++k) {
        if (quint8(sumAtEnd[k] - sumAtStart[k]) == checksums[k])
            ready.push_back(from + k);
        else if (from + k >= failureEnd)
            noteDamaged(from + k, size);
    }
}

// A damaged frame inside one already noted is part of it, not another one.
void FrameScanner::noteDamaged(quint64 pos, quint64 size)
{
    if (pos < failureEnd)
        return;
    failures.push_back({pos, size});
    failureEnd = pos + size;
}

// Counts and reports [from, to) as stepped over, with the damaged frames in it.
void FrameScanner::stepOver(quint64 from, quint64 to)
{
    counts.skippedBytes += to - from;
    quint64 cursor = from;
    while (failureHead < failures.size() && failures[failureHead].pos < to) {
        const Failure f = failures[failureHead++];
        if (f.pos < from)
            continue; // inside a frame published since
        ++counts.badChecksums;
        const quint64 fEnd = std::min(f.pos + f.size, to);
        if (observer) {
            if (f.pos > cursor)
                observer->skippedBytes(at(cursor), int(f.pos - cursor));
            observer->damagedFrame(at(f.pos), int(fEnd - f.pos));
        }
        cursor = fEnd;
    }
    if (observer && to > cursor)
        observer->skippedBytes(at(cursor), int(to - cursor));
    if (failureHead == failures.size()) {
        failures.clear();
        failureHead = 0;
    }
}

void FrameScanner::scan(TRData &packet, const std::function<void()> &found)
{
    const quint64 end = streamEnd();
    if (end - base < 5)
        return;
    takeCompleted(end);

    const quint64 freshLimit = end - 4; // a position is judged once 5 bytes are there
    quint64 i = base;
    quint64 consumedTo = base;
    std::size_t r = 0;
    qint32 run = -1; // the waiting run this pass may extend
    for (;;) {
        while (r < ready.size() && ready[r] < i)
            ++r;
        quint64 pos;
        Judgement j {Verdict::NotAFrame, 0};
        // Waiting headers were judged before any fresh position.
        if (r < ready.size()) {
            pos = ready[r++];
            j = {Verdict::Frame, kOverhead + qFromLittleEndian<quint16>(at(pos) + 8)};
        } else {
            const quint64 from = std::max(i, scanned);
            if (from >= freshLimit)
                break;
            pos = isHeader(at(from)) ? from : nextHeader(from, freshLimit);
            scanned = pos + 1;
            if (pos == freshLimit) {
                scanned = freshLimit;
                break;
            }
            j = judge(pos, end);
        }

        switch (j.verdict) {
        case Verdict::Frame: {
            stepOver(consumedTo, pos);
            const quint8 *p = at(pos);
            packet.addr = p[4];
            packet.cmd = p[5];
            packet.offset = qFromLittleEndian<quint16>(p + 6);
            packet.data.assign(p + 10, p + j.size - 1);
            i = pos + j.size;
            consumedTo = i;
            scanned = std::max(scanned, i);
            if (failureHead == failures.size() || failures.back().pos < i)
                failureEnd = std::min(failureEnd, i);
            ++counts.frames;
            if (observer)
                observer->goodFrame(p, int(j.size));
            found();
            break;
        }
        case Verdict::Incomplete: {
            Waiting *w = run >= 0 ? &nodes[std::size_t(run)] : nullptr;
            if (!w || j.size == 0 || w->size != j.size || w->last + 1 != pos) {
                run = wait(pos, j.size);
                w = &nodes[std::size_t(run)];
            }
            // A line of header bytes: the positions that follow claim the same
            // length, and wait together.
            w->last = j.size ? runOfSameClaim(pos, freshLimit, end, j.size) : pos;
            i = w->last + 1;
            scanned = std::max(scanned, i);
            break;
        }
        case Verdict::Damaged:
            noteDamaged(pos, j.size);
            i = pos + 1;
            break;
        case Verdict::NotAFrame:
            i = pos + 1;
            break;
        }
    }

    discardTo(consumedTo);
    dropDeadPrefix(end);
}

void FrameScanner::discardTo(quint64 to)
{
    if (to <= base)
        return;
    head += std::size_t(to - base);
    base = to;
    if (head == store.size()) {
        sums[0] = sums[head];
        sums.resize(1);
        store.clear();
        head = 0;
    } else if (head >= kCompactAfter && head * 2 >= store.size()) {
        store.erase(store.begin(), store.begin() + std::ptrdiff_t(head));
        sums.erase(sums.begin(), sums.begin() + std::ptrdiff_t(head));
        head = 0;
    }
}

// Bytes before the first position that may still start a frame can never be
// part of one. Keep some of them (a short run of noise is harmless), but not
// an unbounded pile from a wrong baud rate. A header still waiting for its
// frame lies within the longest frame of the end.
void FrameScanner::dropDeadPrefix(quint64 end)
{
    quint64 live = scanned;
    if (waitingCount > 0)
        live = std::min(live, end > kMaxFrame ? end - kMaxFrame : 0);
    if (live > base && live - base > quint64(kDeadBytesKept)) {
        stepOver(base, live);
        discardTo(live);
    }
}
