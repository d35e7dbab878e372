#pragma once

#include "link/TRCodec.h"
#include "link/TRData.h"

#include <QByteArray>

#include <functional>
#include <queue>
#include <set>
#include <utility>
#include <vector>

// Cuts a byte stream into checked frames. A pass finds the same frames as a
// scan of the whole buffer from its start, and removes everything up to the
// end of the last frame it found; but each byte position is judged only once:
// a judgement changes only for a header whose frame was not complete yet, and
// those wait until enough bytes are there. Knows no port.
class FrameScanner {
public:
    // Bytes that can no longer start a frame are kept only up to this much;
    // the beginning of a frame that may still complete is never dropped.
    static constexpr int kDeadBytesKept = 64 * 1024;

    void append(const QByteArray &bytes) { buffer.append(bytes); }

    // Decodes each frame now complete into `packet` and calls `found`, in
    // stream order. `found` may append; those bytes wait for the next pass.
    void scan(TRData &packet, const std::function<void()> &found);

    int bufferedBytes() const { return buffer.size(); }

private:
    enum class Candidate { Frame, Incomplete, Bad };

    Candidate tryFrameAt(quint64 pos, quint64 end, TRCodec &codec);
    void takeReadyPending(quint64 end);
    void dropDeadPrefix();
    void discardFront(int count);

    QByteArray buffer;
    // Absolute stream positions: `base` is that of buffer[0]; every position
    // below `scanned` has been judged.
    using Pending = std::pair<quint64, quint64>; // (stream end it needs, position)
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending;
    std::set<quint64> pendingStarts;
    std::vector<quint64> ready; // scratch of one pass, kept to avoid reallocating
    quint64 base = 0;
    quint64 scanned = 0;
    quint64 lastNeed = 0;
};
