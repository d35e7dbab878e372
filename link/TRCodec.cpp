#include "link/TRCodec.h"

#include <QtEndian>

quint8 TRCodec::checksum(const quint8 *bytes, quint32 count)
{
    quint8 sum = 0;
    for (quint32 i = 0; i < count; ++i)
        sum = quint8(sum + bytes[i]);
    return sum;
}

bool TRCodec::isHeader(const quint8 *p) const
{
    return qFromLittleEndian<quint32>(p) == header;
}

bool TRCodec::encode(const TRData &pack, QByteArray &frame) const
{
    const quint32 n = quint32(pack.data.size());
    frame.resize(int(overhead + n));
    auto *out = reinterpret_cast<quint8 *>(frame.data());
    qToLittleEndian<quint32>(header, out);
    out[4] = pack.addr;
    out[5] = pack.cmd;
    qToLittleEndian<quint16>(pack.offset, out + 6);
    qToLittleEndian<quint16>(quint16(n), out + 8);
    if (n > 0)
        std::copy(pack.data.begin(), pack.data.end(), out + 10);
    out[overhead + n - 1] = checksum(out + 4, quint32(frame.size()) - 5);
    return true;
}

TRData *TRCodec::decode(const quint8 *p, quint32 avail)
{
    if (!p || avail < overhead || !isHeader(p))
        return nullptr;
    const quint32 n = qFromLittleEndian<quint16>(p + 8);
    if (n > avail - overhead)
        return nullptr;
    if (checksum(p + 4, sumBase + 2 + n) != p[10 + n])
        return nullptr;
    decoded.addr = p[4];
    decoded.cmd = p[5];
    decoded.offset = qFromLittleEndian<quint16>(p + 6);
    decoded.data.assign(p + 10, p + 10 + n);
    frameLen = overhead + n;
    return &decoded;
}
