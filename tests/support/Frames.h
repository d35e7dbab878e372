#pragma once

#include "link/TRCodec.h"

#include <QByteArray>
#include <QList>

// Frame bytes for tests, benchmarks and fuzzers that play the device.
inline QByteArray encodedFrame(const TRData &pack)
{
    QByteArray bytes;
    TRCodec().encode(pack, bytes);
    return bytes;
}

inline QByteArray encodedFrame(quint8 cmd, const QByteArray &payload, quint8 addr = 0)
{
    TRData pack;
    pack.addr = addr;
    pack.cmd = cmd;
    pack.data.assign(payload.begin(), payload.end());
    return encodedFrame(pack);
}

// Quadratic by design; under a coverage-guided fuzzer its comparisons would
// only drown the view of the code under test.
#if defined(__clang__)
#define LIDAR_NOT_FOR_COVERAGE __attribute__((noinline, no_sanitize("coverage")))
#else
#define LIDAR_NOT_FOR_COVERAGE
#endif

// The endpoint's promised behaviour written the slow way: every pass scans the
// whole buffer from the start and drops what precedes the last frame found.
struct ReferenceScanner {
    QByteArray buffer;
    QList<QByteArray> published;

    LIDAR_NOT_FOR_COVERAGE void receive(const QByteArray &bytes)
    {
        buffer += bytes;
        TRCodec codec;
        int i = 0;
        int consumed = 0;
        while (buffer.size() >= 5 && i < buffer.size() - 4) {
            const auto *p = reinterpret_cast<const quint8 *>(buffer.constData()) + i;
            if (codec.isHeader(p) && codec.decode(p, quint32(buffer.size() - i))) {
                published.append(buffer.mid(i, int(codec.frameLen)));
                i += int(codec.frameLen);
                consumed = i;
            } else {
                ++i;
            }
        }
        buffer.remove(0, consumed);
    }
};
