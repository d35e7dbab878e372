// Decodes at every position of the input and checks that whatever the codec
// accepts is a frame it would have written itself, lying inside the input.
#include "link/TRCodec.h"

#include <QtEndian>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkDecoded(const TRData &pack, const quint8 *p, quint32 avail, quint32 frameLen)
{
    check(frameLen >= 11 && frameLen <= avail);
    check(pack.data.size() == qFromLittleEndian<quint16>(p + 8));
    check(frameLen == 11 + pack.data.size());
    QByteArray again;
    TRCodec().encode(pack, again);
    check(quint32(again.size()) == frameLen);
    check(std::memcmp(again.constData(), p, frameLen) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One codec for all positions: a failed decode must leave the packet of
    // the last success alone, and a shorter frame must shrink the payload.
    TRCodec codec;
    for (size_t i = 0; i < size; ++i) {
        const quint8 *p = data + i;
        const quint32 avail = quint32(size - i);
        if (avail >= 4)
            check(codec.isHeader(p) == (qFromLittleEndian<quint32>(p) == 0xAAAAAAAAu));
        const quint32 lenBefore = codec.frameLen;
        TRData *pack = codec.decode(p, avail);
        if (pack)
            checkDecoded(*pack, p, avail, codec.frameLen);
        else
            check(codec.frameLen == lenBefore);
    }
    check(codec.decode(nullptr, quint32(size)) == nullptr);
    return 0;
}
