#pragma once

#include "link/TRData.h"

#include <QByteArray>

#include <map>
#include <random>

class PtyEnd;

// What the device has to say, in order: frames due now wait in `pending`
// until the port takes them; delayed frames wait for their time. Measurement
// frames carry the stream faults and are dropped while the host lags behind.
class Outbox {
public:
    static constexpr int kMaxLag = 32 * 1024;

    struct Counts {
        quint64 measurementsSent = 0;
        quint64 measurementsDamaged = 0;
        quint64 measurementsDropped = 0;
    };

    Outbox(int garbageBytes, int badChecksumPercent, unsigned seed);

    // False when the frame will not reach the host whole (dropped or damaged).
    bool sendMeasurement(const TRData &pack);
    void sendReply(const TRData &pack);
    void sendReplyAt(quint64 dueMicros, const TRData &pack);

    // Moves the delayed frames that are due into the pending bytes.
    void release(quint64 nowMicros);
    // Time of the next delayed frame, or UINT64_MAX.
    quint64 nextDue() const;
    bool hasPending() const { return !pending.isEmpty(); }
    const QByteArray &pendingBytes() const { return pending; }
    // False when the port failed for good.
    bool flush(PtyEnd &port);
    // The host went away: what it did not read is lost.
    void discardPending();
    // The device lost power: the replies it meant to send later go with it.
    void forgetDelayed();
    const Counts &counts() const { return tally; }

private:
    QByteArray encode(const TRData &pack) const;
    void appendGarbage();

    int garbageBytes;
    int badChecksumPercent;
    std::mt19937 rng;
    QByteArray pending;
    std::multimap<quint64, QByteArray> delayed;
    Counts tally;
};
