#pragma once

#include "link/TRCodec.h"
#include "link/TRData.h"

#include <QByteArray>

#include <random>

// Wire bytes for the benchmarks: measurement frames as a sensor sends them,
// and noise.
namespace BenchFrames {

// The link's ceiling: 921,600 baud, 8N1.
constexpr double kLinkBytesPerSecond = 92160.0;

// One measurement frame (code 0x02) of `points` points, 15 bytes each, then
// the timestamp. Distances scatter around 1500.
inline QByteArray measurementFrame(int points, quint32 timestamp, std::mt19937 &rng)
{
    std::uniform_int_distribution<int> spread(-6, 6);
    TRData pack;
    pack.cmd = 0x02;
    pack.data.assign(std::size_t(points) * 15 + 4, 0);
    for (int i = 0; i < points; ++i) {
        quint8 *p = pack.data.data() + i * 15;
        const qint16 distance = qint16(1500 + spread(rng));
        p[0] = quint8(distance);
        p[1] = quint8(distance >> 8);
        p[2] = 40;             // noise
        p[4] = 0x50;           // peak 20,000
        p[5] = 0x4E;
        p[8] = 200;            // confidence
        p[13] = 0x10;          // reftof
    }
    quint8 *t = pack.data.data() + points * 15;
    for (int k = 0; k < 4; ++k)
        t[k] = quint8(timestamp >> (8 * k));
    QByteArray frame;
    TRCodec().encode(pack, frame);
    return frame;
}

inline QByteArray noise(int count, std::mt19937 &rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray out(count, '\0');
    for (char &c : out)
        c = char(byte(rng));
    return out;
}

// A stream of `frames` frames; with `garbage`, each frame is preceded by as
// many noise bytes as the frame has, so half the stream is noise.
inline QByteArray stream(int points, int frames, bool garbage)
{
    std::mt19937 rng(7);
    QByteArray out;
    for (int i = 0; i < frames; ++i) {
        const QByteArray frame = measurementFrame(points, quint32(i) * 1000u, rng);
        if (garbage)
            out += noise(frame.size(), rng);
        out += frame;
    }
    return out;
}

} // namespace BenchFrames
