#include "sim/FrameReader.h"

std::vector<TRData> FrameReader::feed(const QByteArray &bytes)
{
    buffer.append(bytes);
    std::vector<TRData> frames;
    TRCodec codec;
    const auto *p = reinterpret_cast<const quint8 *>(buffer.constData());
    const quint32 size = quint32(buffer.size());
    quint32 i = 0;
    quint32 consumed = 0;
    while (size >= 4 && i + 4 <= size) {
        const TRData *pack = codec.isHeader(p + i) ? codec.decode(p + i, size - i) : nullptr;
        if (pack) {
            frames.push_back(*pack);
            i += codec.frameLen;
            consumed = i;
        } else {
            ++i;
        }
    }
    // A longest frame that may still complete fits in what is kept.
    if (int(size - consumed) > kMaxKept)
        consumed = size - quint32(kMaxKept);
    buffer.remove(0, int(consumed));
    return frames;
}
