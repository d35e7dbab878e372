#pragma once

#include "link/LinkCounters.h"
#include "link/TRData.h"

#include <QByteArray>

#include <functional>
#include <vector>

// Cuts a byte stream into checked frames. A pass finds the same frames as a
// scan of the whole buffer from its start, and removes everything up to the
// end of the last frame it found; but each byte position is judged once, and
// once more when the frame it claims is complete, and a checksum comes from
// running sums in constant time, so a line full of header bytes costs no more
// than any other noise. Knows no port.
class FrameScanner {
public:
    // Bytes that can no longer start a frame are kept only up to this much
    // (beyond the longest frame that may still be arriving); the beginning of
    // a frame that may still complete is never dropped.
    static constexpr int kDeadBytesKept = 64 * 1024;

    // Told, in stream order and before the frame that follows them, what a
    // pass stepped over. Pointers are valid during the call only.
    class Observer {
    public:
        virtual ~Observer() = default;
        // A frame whose header, length and bytes were all there, but whose
        // checksum was wrong. Cut short where a good frame begins inside it.
        virtual void damagedFrame(const quint8 *bytes, int size) = 0;
        // Bytes that started no frame.
        virtual void skippedBytes(const quint8 *bytes, int size) = 0;
        // A good frame, just before it is published.
        virtual void goodFrame(const quint8 *bytes, int size) = 0;
    };

    void append(const QByteArray &bytes);

    // Decodes each frame now complete into `packet` and calls `found`, in
    // stream order. `found` may append; those bytes wait for the next pass.
    void scan(TRData &packet, const std::function<void()> &found);

    int bufferedBytes() const { return int(store.size() - head); }
    const LinkCounters &counters() const { return counts; }
    // Null for none. Costs nothing while unset.
    void setObserver(Observer *o) { observer = o; }

private:
    enum class Verdict { Frame, Incomplete, Damaged, NotAFrame };
    struct Judgement {
        Verdict verdict;
        quint64 size; // frame length; 0 when not known yet (Incomplete, NotAFrame)
    };
    struct Failure {
        quint64 pos;
        quint64 size;
    };
    // Headers at first..last, all claiming frames of `size` bytes (0: their
    // length field has not arrived), due when the first one's frame is.
    struct Waiting {
        quint64 first;
        quint64 last;
        quint64 size;
        qint32 next; // next in the same bucket, -1 at the end
    };

    quint64 streamEnd() const { return base + (store.size() - head); }
    const quint8 *at(quint64 pos) const { return store.data() + head + (pos - base); }
    quint8 sumBefore(quint64 pos) const { return sums[head + (pos - base)]; }

    Judgement judge(quint64 pos, quint64 end) const;
    quint64 nextHeader(quint64 from, quint64 limit) const;
    qint32 wait(quint64 pos, quint64 size);
    void relink(qint32 node);
    void release(qint32 node);
    void takeCompleted(quint64 end);
    bool settle(qint32 node, quint64 end);
    void settleKnown(quint64 from, quint64 to, quint64 size);
    quint64 runOfSameClaim(quint64 pos, quint64 limit, quint64 end, quint64 size) const;
    void noteDamaged(quint64 pos, quint64 size);
    void stepOver(quint64 from, quint64 to);
    void discardTo(quint64 to);
    void dropDeadPrefix(quint64 end);

    std::vector<quint8> store;
    // sums[k] is the sum modulo 256 of store[0..k): a checksum is a difference.
    std::vector<quint8> sums {0};
    std::size_t head = 0; // store index of `base`
    // Absolute stream positions: `base` is that of the first byte kept; every
    // position below `scanned` has been judged.
    quint64 base = 0;
    quint64 scanned = 0;

    // Headers whose frame was not complete, bucketed by the stream end they
    // need (a window narrower than the bucket count, so buckets never mix
    // ends that are due at different times).
    static constexpr quint64 kBuckets = 1u << 17;
    std::vector<qint32> buckets;
    std::vector<Waiting> nodes;
    qint32 freeNodes = -1;
    int waitingCount = 0;
    quint64 drainedTo = 0;
    std::vector<quint64> ready; // scratch of one pass, kept to avoid reallocating

    // Damaged frames not yet stepped over, in stream order, none inside another.
    std::vector<Failure> failures;
    std::size_t failureHead = 0;
    quint64 failureEnd = 0;

    LinkCounters counts;
    Observer *observer = nullptr;
};
