#include "sim/Outbox.h"

#include "link/TRCodec.h"
#include "sim/PtyEnd.h"

#include <limits>

Outbox::Outbox(int garbageBytes, int badChecksumPercent, unsigned seed)
    : garbageBytes(garbageBytes)
    , badChecksumPercent(badChecksumPercent)
    , rng(seed ^ 0x5EEDu)
{
}

QByteArray Outbox::encode(const TRData &pack) const
{
    QByteArray frame;
    TRCodec().encode(pack, frame);
    return frame;
}

// Noise never holds the header byte, so it can neither hide nor fake a frame.
void Outbox::appendGarbage()
{
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < garbageBytes; ++i) {
        const int b = byte(rng);
        pending.append(char(b == 0xAA ? 0x55 : b));
    }
}

bool Outbox::sendMeasurement(const TRData &pack)
{
    if (pending.size() > kMaxLag) {
        ++tally.measurementsDropped;
        return false;
    }
    QByteArray frame = encode(pack);
    const bool damaged = std::uniform_int_distribution<int>(0, 99)(rng) < badChecksumPercent;
    if (damaged) {
        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
        ++tally.measurementsDamaged;
    }
    appendGarbage();
    pending.append(frame);
    ++tally.measurementsSent;
    return !damaged;
}

void Outbox::sendReply(const TRData &pack)
{
    appendGarbage();
    pending.append(encode(pack));
}

void Outbox::sendReplyAt(quint64 dueMicros, const TRData &pack)
{
    delayed.emplace(dueMicros, encode(pack));
}

void Outbox::release(quint64 nowMicros)
{
    while (!delayed.empty() && delayed.begin()->first <= nowMicros) {
        appendGarbage();
        pending.append(delayed.begin()->second);
        delayed.erase(delayed.begin());
    }
}

quint64 Outbox::nextDue() const
{
    return delayed.empty() ? std::numeric_limits<quint64>::max() : delayed.begin()->first;
}

bool Outbox::flush(PtyEnd &port)
{
    const qint64 n = port.writeSome(pending);
    if (n < 0)
        return false;
    pending.remove(0, int(n));
    return true;
}

void Outbox::discardPending()
{
    pending.clear();
}

void Outbox::forgetDelayed()
{
    delayed.clear();
}
