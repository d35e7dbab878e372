#pragma once

#include "link/TRCodec.h"
#include "tests/support/PtyPair.h"

#include <QByteArray>
#include <QTimer>
#include <QtEndian>

#include <functional>
#include <vector>

// Plays the sensor for an accuracy run on the master end of a PtyPair:
// answers the device information (0x14) and the calibration parameters
// (0x12), streams one measurement frame a tick between Start and Stop, with
// the distances a test chooses per Start ("session") and frame, so the
// figures of a step are known exactly.
class SensorPeer {
public:
    enum class Answer {
        Whole,
        Silent, // not answered
        Short,  // answered with 10 bytes
    };

    struct Point {
        qint16 distance = 0;
        quint8 confidence = 50;
        quint16 noise = 40;
    };

    explicit SensorPeer(PtyPair &pty)
        : pty(pty)
    {
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [this] { pump(); });
        poll.start();
        stream.setInterval(2);
        QObject::connect(&stream, &QTimer::timeout, [this] { sendFrame(); });
    }

    // The record answers; mcuId 0x0033002B, 0x3538510C, 0x20363733 unless changed.
    quint32 mcuId[3] = {0x0033002B, 0x3538510C, 0x20363733};
    quint32 firmware = 0x01020003;
    quint32 hardware = 5;
    quint8 bvd = 0x5A;
    Answer deviceInfo = Answer::Whole;
    Answer calibration = Answer::Whole;
    int deviceInfoIgnored = 0; // requests left unanswered before answering

    // The points of frame `frame` (from 0) after Start number `session` (from 0).
    std::function<std::vector<Point>(int session, int frame)> points = [](int, int) {
        return std::vector<Point> {Point {1000, 50, 40}};
    };
    bool answerStart = true;
    int framesPerSession = -1; // frames after which the stream falls silent; -1: no end

    std::vector<TRData> received;
    int starts = 0;
    int stops = 0;
    bool streaming() const { return stream.isActive(); }
    int framesSent = 0;

    int count(quint8 cmd) const
    {
        int n = 0;
        for (const TRData &p : received)
            n += p.cmd == cmd ? 1 : 0;
        return n;
    }

    static QByteArray frameOf(quint8 cmd, const std::vector<quint8> &payload)
    {
        TRData pack;
        pack.cmd = cmd;
        pack.data = payload;
        QByteArray bytes;
        TRCodec().encode(pack, bytes);
        return bytes;
    }

    static QByteArray measurement(const std::vector<Point> &points, quint32 timestamp)
    {
        std::vector<quint8> payload(15 * points.size() + 4, 0);
        quint8 *p = payload.data();
        for (const Point &point : points) {
            qToLittleEndian<qint16>(point.distance, p);
            qToLittleEndian<quint16>(point.noise, p + 2);
            qToLittleEndian<quint32>(30000, p + 4);
            p[8] = point.confidence;
            p += 15;
        }
        qToLittleEndian<quint32>(timestamp, p);
        return frameOf(0x02, payload);
    }

private:
    void pump()
    {
        if (pumping)
            return;
        pumping = true;
        rx += pty.read(0, 0);
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
        received.push_back(pack);
        switch (pack.cmd) {
        case 0x02:
            ++starts;
            sessionFrames = 0;
            if (answerStart)
                stream.start();
            break;
        case 0x0F:
            ++stops;
            stream.stop();
            break;
        case 0x14:
            if (deviceInfoIgnored > 0) {
                --deviceInfoIgnored;
                break;
            }
            answer(0x14, deviceInfo, deviceInfoPayload());
            break;
        case 0x12: answer(0x12, calibration, calibrationPayload()); break;
        default: break;
        }
    }

    void answer(quint8 cmd, Answer how, std::vector<quint8> payload)
    {
        if (how == Answer::Silent)
            return;
        if (how == Answer::Short)
            payload.resize(10);
        pty.write(frameOf(cmd, payload));
    }

    std::vector<quint8> deviceInfoPayload() const
    {
        std::vector<quint8> p(52, 0);
        qToLittleEndian<quint32>(firmware, p.data());
        qToLittleEndian<quint32>(hardware, p.data() + 4);
        for (int i = 0; i < 3; ++i)
            qToLittleEndian<quint32>(mcuId[i], p.data() + 16 + 4 * i);
        return p;
    }

    // ck 7, offset_cal -10, xtalk_peak 4294967295, masum 123456, then bvd.
    std::vector<quint8> calibrationPayload() const
    {
        std::vector<quint8> p(33, 0);
        p[0] = 7;
        qToLittleEndian<qint16>(-10, p.data() + 4);
        qToLittleEndian<quint32>(4294967295u, p.data() + 8);
        qToLittleEndian<qint32>(123456, p.data() + 28);
        p[32] = bvd;
        return p;
    }

    void sendFrame()
    {
        if (framesPerSession >= 0 && sessionFrames >= framesPerSession)
            return;
        timestamp += 10000;
        pty.write(measurement(points(starts - 1, sessionFrames), timestamp));
        ++sessionFrames;
        ++framesSent;
    }

    PtyPair &pty;
    QTimer poll;
    QTimer stream;
    QByteArray rx;
    bool pumping = false;
    int sessionFrames = 0;
    quint32 timestamp = 0;
};
