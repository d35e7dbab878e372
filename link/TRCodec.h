#pragma once

#include "link/TRData.h"

#include <QByteArray>

// Frame codec: AA AA AA AA | addr | cmd | offset(2) | N(2) | payload(N) | sum.
// All words little-endian; the sum covers addr through the payload.
// Knows no port and no command meaning.
class TRCodec {
public:
    static constexpr quint32 kMaxPayload = 65535;
    static constexpr quint32 kMaxFrame = 11 + kMaxPayload;

    // Sum modulo 256 of `count` bytes. The count is 32 bits wide so that
    // 6 + N never wraps for the longest payloads.
    static quint8 checksum(const quint8 *bytes, quint32 count);

    // Expects four readable bytes at `p`.
    bool isHeader(const quint8 *p) const;

    // Overwrites `frame` with the complete frame for `pack`. Payloads longer
    // than kMaxPayload cannot be framed; callers refuse them before this.
    bool encode(const TRData &pack, QByteArray &frame) const;

    // Returns the decoded packet when a complete, valid frame starts exactly
    // at `p`, else nullptr (and changes nothing). Bytes after the frame are
    // never read. The packet stays valid until the next decode.
    TRData *decode(const quint8 *p, quint32 avail);

    const quint32 header = 0xAAAAAAAAu;
    const quint16 sumBase = 4;
    const quint32 overhead = 11;
    quint32 frameLen = 0;

private:
    TRData decoded;
};
