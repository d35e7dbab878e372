#pragma once

#include <QtGlobal>

#include <string>
#include <vector>

// Puts the downloaded blocks together. A block carries only the low 16 bits
// of its byte offset, so the full offset is taken as the one nearest to where
// the previous block ended; a block sent again overwrites its bytes.
class ImageAssembler {
public:
    static constexpr size_t kMaxImage = 16u * 1024 * 1024;

    void reset();
    // False (and nothing stored) when the block would grow past kMaxImage.
    bool addBlock(quint16 offset16, const quint8 *bytes, size_t len);
    const std::vector<quint8> &image() const { return bytes; }
    size_t blockCount() const { return blocks; }

    // Writes the image next to `path` and renames it into place, so a reader
    // never sees half a file.
    bool writeTo(const std::string &path, std::string &error) const;

private:
    quint64 fullOffset(quint16 offset16) const;

    std::vector<quint8> bytes;
    quint64 nextOffset = 0;
    size_t blocks = 0;
};
