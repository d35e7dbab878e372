#include "sim/ImageAssembler.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

void ImageAssembler::reset()
{
    bytes.clear();
    nextOffset = 0;
    blocks = 0;
}

quint64 ImageAssembler::fullOffset(quint16 offset16) const
{
    constexpr qint64 kSpan = 0x10000;
    qint64 candidate = qint64(nextOffset & ~quint64(0xFFFF)) + offset16;
    if (candidate - qint64(nextOffset) > kSpan / 2)
        candidate -= kSpan;
    else if (qint64(nextOffset) - candidate > kSpan / 2)
        candidate += kSpan;
    return quint64(std::max<qint64>(candidate, 0));
}

bool ImageAssembler::addBlock(quint16 offset16, const quint8 *data, size_t len)
{
    const quint64 at = fullOffset(offset16);
    if (at + len > kMaxImage)
        return false;
    if (bytes.size() < at + len)
        bytes.resize(size_t(at + len), 0xFF);
    std::copy(data, data + len, bytes.begin() + qint64(at));
    nextOffset = at + len;
    ++blocks;
    return true;
}

bool ImageAssembler::writeTo(const std::string &path, std::string &error) const
{
    const std::string partial = path + ".part";
    FILE *f = std::fopen(partial.c_str(), "wb");
    if (!f) {
        error = partial + ": " + std::strerror(errno);
        return false;
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(partial.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
