#pragma once

#include "link/FrameScanner.h"
#include "link/LinkLease.h"
#include "link/TRCodec.h"
#include "link/TRData.h"

#include <QByteArray>
#include <QObject>


class QSerialPort;

// The one protocol endpoint, bound to the sensor's serial port for its whole
// life (the port is its parent). Frames outgoing packets, cuts incoming bytes
// into checked packets and publishes each with dataReady. Never shows anything.
class QTRNet : public QObject {
    Q_OBJECT
public:
    // Why a send wrote nothing: a wait was running, the port was closed, or
    // the port refused the bytes.
    enum class Refusal { Busy, PortClosed, WriteFailed };
    Q_ENUM(Refusal)

    static constexpr int kDeadBytesKept = FrameScanner::kDeadBytesKept;
    // What the port itself may hold unread: many of the longest frames, so
    // nothing is lost at the link's rate, yet bounded under any input.
    static constexpr qint64 kPortReadBuffer = 16 * qint64(TRCodec::kMaxFrame);

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
    // Whether a send could reach the port now, busy aside.
    bool portOpen() const;
    int bufferedBytes() const { return rxBuffer.bufferedBytes(); }
    // Running totals of the receive side; they never go back.
    const LinkCounters &counters() const { return rxBuffer.counters(); }
    // Told what the receive side steps over; null for none.
    void setScanObserver(FrameScanner::Observer *observer) { rxBuffer.setObserver(observer); }
    // Who may send on this link now: every sender takes it first.
    LinkLease &lease() { return linkLease; }

signals:
    // Direct connections only: `pack` is valid during the call alone.
    void dataReady(TRData *pack);
    // Every frame handed to the port, as written.
    void frameSent(const QByteArray &frame);
    // Each packet a send gave up on, and why. Direct connections only.
    void sendRefused(const TRData &pack, QTRNet::Refusal why);
    // The port is about to close, whoever closes it (the user, a loss, a
    // reopen): an answer awaited now will not come. Emitted inside the
    // close, so a receiver that shows anything does it later.
    void portClosing();

private:
    bool writeFrame(const TRData &pack);

    QSerialPort *port;
    bool busy = false;
    FrameScanner rxBuffer;
    TRData packet;
    LinkLease linkLease;
    // A receiver running an event loop must not start a second pass inside
    // the running one; its bytes wait for the next.
    bool inPass = false;
    bool grewInPass = false;
};
