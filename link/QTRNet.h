#pragma once

#include "link/TRCodec.h"
#include "link/TRData.h"

#include <QByteArray>
#include <QObject>

#include <queue>
#include <set>
#include <utility>
#include <vector>

class QSerialPort;

// The one protocol endpoint, bound to the sensor's serial port for its whole
// life (the port is its parent). Frames outgoing packets, cuts incoming bytes
// into checked packets and publishes each with dataReady. Never shows anything.
class QTRNet : public QObject {
    Q_OBJECT
public:
    // Bytes that never form a frame are kept only up to this much; the
    // beginning of a frame that may still complete is never dropped.
    static constexpr int kDeadBytesKept = 64 * 1024;

    // Throws the text "SerialPort is NULL" when given no port.
    explicit QTRNet(QSerialPort *port);

    // Appends the bytes, publishes every complete frame, drops what it consumed.
    void receiveData(const QByteArray &bytes);

    // Payload: `value` as 4 little-endian bytes, offset 0; then a 50 ms wait.
    // False (nothing written) while busy, with the port closed, or when the
    // port refuses the write.
    bool sendCmd(quint8 addr, quint8 cmd, quint32 value);
    // Like sendCmd with a given payload and offset, without the wait. Payloads
    // over 65,535 bytes cannot be framed and are refused.
    bool sendData(quint8 addr, quint8 cmd, const quint8 *bytes, quint32 len, quint16 offset);

    // Returns after at least `ms`, handling events meanwhile; at once when a
    // wait already runs or the application is quitting.
    void waitMs(int ms);
    void wait50Ms();

    bool isBusy() const { return busy; }
    int bufferedBytes() const { return rxBuffer.size(); }

signals:
    // Direct connections only: `pack` is valid during the call alone.
    void dataReady(TRData *pack);

private:
    enum class Candidate { Frame, Incomplete, Bad };

    bool writeFrame(const TRData &pack);
    void scanPass();
    Candidate tryFrameAt(quint64 pos, quint64 end, TRCodec &codec);
    void dropDeadPrefix();
    void discardFront(int count);

    QSerialPort *port;
    bool busy = false;
    QByteArray rxBuffer;
    TRData packet;

    // Scan bookkeeping, in absolute stream positions (bytes ever received
    // before rxBuffer[0] is `base`). Every position below `scanned` has been
    // judged once; a judgement only changes for a header whose frame was not
    // complete yet, and those wait in `pending` until enough bytes are there.
    // So a pass looks at each byte once instead of rescanning the buffer,
    // with the same outcome as a rescan from the start.
    using Pending = std::pair<quint64, quint64>; // (stream end it needs, position)
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending;
    std::set<quint64> pendingStarts;
    std::vector<quint64> ready; // scratch of one pass, kept to avoid reallocating
    quint64 base = 0;
    quint64 scanned = 0;
    quint64 lastNeed = 0;
    bool inPass = false;
    bool grewInPass = false;
};
