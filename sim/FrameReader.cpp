#include "sim/FrameReader.h"

std::vector<TRData> FrameReader::feed(const QByteArray &bytes)
{
    scanner.append(bytes);
    std::vector<TRData> frames;
    scanner.scan(packet, [&] { frames.push_back(packet); });
    return frames;
}
