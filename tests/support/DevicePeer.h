#pragma once

#include "link/TRCodec.h"
#include "tests/support/PtyPair.h"

#include <QByteArray>
#include <QHash>
#include <QTimer>

#include <functional>
#include <vector>

// Plays the sensor's side of a download on the master end of a PtyPair: cuts
// the bytes the host wrote into frames and answers each with a 0x10
// acknowledgement (its code, result 1), unless told otherwise for the frame
// with a given index (0 is the first frame received).
class DevicePeer {
public:
    enum class Reply {
        Ack,
        Silent,        // no answer at all
        Fail,          // answered with result 0
        ThenForeign,   // answered, then at once an ack for another code
        Late,          // answered after lateMs
    };

    explicit DevicePeer(PtyPair &pty)
        : pty(pty)
    {
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [this] { pump(); });
        poll.start();
    }

    void setReply(int frameIndex, Reply reply) { replies.insert(frameIndex, reply); }

    std::vector<TRData> frames;
    // Every byte the host wrote, frames and anything between them.
    QByteArray received;
    // Runs for every received frame, before it is answered.
    std::function<void(const TRData &)> onFrame;
    int lateMs = 1500;

    static QByteArray ackFrame(quint8 code, quint8 result)
    {
        TRData ack;
        ack.cmd = 0x10;
        ack.data = { code, result };
        QByteArray bytes;
        TRCodec().encode(ack, bytes);
        return bytes;
    }

private:
    void pump()
    {
        // A write that has to wait processes events, which may fire the poll again.
        if (pumping)
            return;
        pumping = true;
        const QByteArray chunk = pty.read(0, 0);
        received += chunk;
        rx += chunk;
        TRCodec codec;
        int i = 0;
        int consumed = 0;
        while (rx.size() - i >= int(codec.overhead)) {
            const auto *p = reinterpret_cast<const quint8 *>(rx.constData()) + i;
            if (TRData *pack = codec.decode(p, quint32(rx.size() - i))) {
                i += int(codec.frameLen);
                consumed = i;
                handle(*pack);
            } else {
                ++i;
            }
        }
        rx.remove(0, consumed);
        pumping = false;
    }

    void handle(const TRData &pack)
    {
        const int index = int(frames.size());
        frames.push_back(pack);
        if (onFrame)
            onFrame(pack);
        switch (replies.value(index, Reply::Ack)) {
        case Reply::Ack:
            pty.write(ackFrame(pack.cmd, 1));
            break;
        case Reply::Silent:
            break;
        case Reply::Fail:
            pty.write(ackFrame(pack.cmd, 0));
            break;
        case Reply::ThenForeign:
            pty.write(ackFrame(pack.cmd, 1) + ackFrame(quint8(pack.cmd ^ 0x40), 1));
            break;
        case Reply::Late: {
            const QByteArray ack = ackFrame(pack.cmd, 1);
            QTimer::singleShot(lateMs, &poll, [this, ack] { pty.write(ack); });
            break;
        }
        }
    }

    PtyPair &pty;
    QTimer poll;
    QByteArray rx;
    QHash<int, Reply> replies;
    bool pumping = false;
};
