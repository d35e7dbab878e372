#pragma once

#include "link/TRCodec.h"
#include "link/TRData.h"
#include "tests/support/PtyPair.h"

#include <QByteArray>
#include <QTimer>
#include <QVector>
#include <QtEndian>

#include <functional>
#include <vector>

// The sensor's side of a pseudo-terminal, played by the test: every frame
// the program sends is decoded and kept, and a handler may answer it.
class DevicePeer {
public:
    using Handler = std::function<void(const TRData &)>;

    DevicePeer()
    {
        QObject::connect(&poll, &QTimer::timeout, [this] { take(pty.read(0, 0)); });
        poll.start(1);
    }

    bool isValid() const { return pty.isValid(); }
    QString port() const { return pty.portName(); }
    PtyPair &pair() { return pty; }
    void onFrame(Handler handler) { answer = std::move(handler); }

    const QVector<TRData> &received() const { return frames; }
    int count(quint8 cmd) const
    {
        int n = 0;
        for (const TRData &f : frames)
            n += f.cmd == cmd;
        return n;
    }
    // The commands received, in order.
    QVector<quint8> commands() const
    {
        QVector<quint8> codes;
        for (const TRData &f : frames)
            codes << f.cmd;
        return codes;
    }

    bool send(quint8 addr, quint8 cmd, const QByteArray &payload) { return pty.write(frame(addr, cmd, payload)); }

    static QByteArray frame(quint8 addr, quint8 cmd, const QByteArray &payload)
    {
        TRData pack;
        pack.addr = addr;
        pack.cmd = cmd;
        pack.data.assign(payload.begin(), payload.end());
        QByteArray bytes;
        TRCodec().encode(pack, bytes);
        return bytes;
    }

    struct Point {
        qint16 distance;
        quint16 noise = 20;
        quint32 peak = 20000;
        quint8 confidence = 90;
        qint16 reftof = 120;
    };

    // A measurement payload: 15 bytes a point, then the timestamp.
    static QByteArray measurement(const std::vector<Point> &points, quint32 timestamp)
    {
        QByteArray payload(int(points.size()) * 15 + 4, '\0');
        uchar *p = reinterpret_cast<uchar *>(payload.data());
        for (const Point &point : points) {
            qToLittleEndian<qint16>(point.distance, p);
            qToLittleEndian<quint16>(point.noise, p + 2);
            qToLittleEndian<quint32>(point.peak, p + 4);
            p[8] = point.confidence;
            qToLittleEndian<qint16>(point.reftof, p + 13);
            p += 15;
        }
        qToLittleEndian<quint32>(timestamp, p);
        return payload;
    }

private:
    // Not re-entered when an answer's write runs events: the new bytes wait.
    void take(const QByteArray &bytes)
    {
        buffer += bytes;
        if (inTake)
            return;
        inTake = true;
        TRCodec codec;
        int i = 0;
        int consumed = 0;
        while (i + 4 < buffer.size()) {
            const auto *p = reinterpret_cast<const quint8 *>(buffer.constData()) + i;
            if (codec.isHeader(p)) {
                if (TRData *pack = codec.decode(p, quint32(buffer.size() - i))) {
                    const TRData decoded = *pack;
                    frames << decoded;
                    i += int(codec.frameLen);
                    consumed = i;
                    if (answer)
                        answer(decoded);
                    continue;
                }
            }
            ++i;
        }
        buffer.remove(0, consumed);
        inTake = false;
    }

    PtyPair pty;
    QTimer poll;
    QByteArray buffer;
    QVector<TRData> frames;
    Handler answer;
    bool inTake = false;
};
