#include "link/QTRNet.h"

#include "link/EventPump.h"

#include <QSerialPort>
#include <QtEndian>

#include <algorithm>

QTRNet::QTRNet(QSerialPort *port)
    : QObject(port)
    , port(port)
{
    if (!port)
        throw "SerialPort is NULL";
}

void QTRNet::receiveData(const QByteArray &bytes)
{
    rxBuffer.append(bytes);
    if (inPass) {
        // A receiver is running an event loop: the running pass (or the one
        // right after it) takes these bytes; a nested pass would corrupt it.
        grewInPass = true;
        return;
    }
    inPass = true;
    do {
        grewInPass = false;
        scanPass();
    } while (grewInPass);
    inPass = false;
}

QTRNet::Candidate QTRNet::tryFrameAt(quint64 pos, quint64 end, TRCodec &codec)
{
    const auto *p = reinterpret_cast<const quint8 *>(rxBuffer.constData()) + (pos - base);
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

// One pass over the buffer, equivalent to scanning every position from the
// start: positions judged bad in an earlier pass stay bad, and incomplete
// frames are looked at again only once enough bytes have arrived.
void QTRNet::scanPass()
{
    TRCodec codec;
    const quint64 end = base + quint64(rxBuffer.size());
    if (end - base < 5)
        return;

    ready.clear();
    while (!pending.empty() && pending.top().first <= end) {
        const quint64 pos = pending.top().second;
        pending.pop();
        if (pendingStarts.erase(pos))
            ready.push_back(pos);
    }
    std::sort(ready.begin(), ready.end());

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
            const auto *p = reinterpret_cast<const quint8 *>(rxBuffer.constData()) + (pos - base);
            packet.addr = p[4];
            packet.cmd = p[5];
            packet.offset = qFromLittleEndian<quint16>(p + 6);
            packet.data.assign(p + 10, p + len - 1);
            i = pos + len;
            consumedTo = i;
            scanned = std::max(scanned, i);
            emit dataReady(&packet);
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

void QTRNet::discardFront(int count)
{
    rxBuffer.remove(0, count);
    base += quint64(count);
    pendingStarts.erase(pendingStarts.begin(), pendingStarts.lower_bound(base));
}

// Bytes before the first position that may still start a frame can never be
// part of one. Keep some of them (a short run of noise is harmless), but not
// an unbounded pile from a wrong baud rate.
void QTRNet::dropDeadPrefix()
{
    quint64 live = scanned;
    if (!pendingStarts.empty())
        live = std::min(live, *pendingStarts.begin());
    if (live > base && live - base > quint64(kDeadBytesKept))
        discardFront(int(live - base));
}

bool QTRNet::writeFrame(const TRData &pack)
{
    if (busy || !port->isOpen())
        return false;
    QByteArray frame;
    TRCodec().encode(pack, frame);
    return port->write(frame) >= 0;
}

bool QTRNet::sendCmd(quint8 addr, quint8 cmd, quint32 value)
{
    TRData pack;
    pack.addr = addr;
    pack.cmd = cmd;
    pack.offset = 0;
    pack.data.resize(4);
    qToLittleEndian<quint32>(value, pack.data.data());
    if (!writeFrame(pack))
        return false;
    wait50Ms();
    return true;
}

bool QTRNet::sendData(quint8 addr, quint8 cmd, const quint8 *bytes, quint32 len, quint16 offset)
{
    if (len > TRCodec::kMaxPayload || (len > 0 && !bytes))
        return false;
    TRData pack;
    pack.addr = addr;
    pack.cmd = cmd;
    pack.offset = offset;
    if (len > 0)
        pack.data.assign(bytes, bytes + len);
    return writeFrame(pack);
}

void QTRNet::waitMs(int ms)
{
    if (busy)
        return;
    busy = true;
    EventPump::waitUntil(ms);
    busy = false;
}

void QTRNet::wait50Ms()
{
    waitMs(50);
}
