#include "download/ImageFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace ImageFile {

namespace {
// Reads to the end rather than trusting the size: some regular files (like
// those under /proc) report 0 bytes and still have content.
bool readCapped(QFile &file, QByteArray &out)
{
    constexpr qint64 kChunk = 1024 * 1024;
    QByteArray content;
    for (;;) {
        const qint64 before = content.size();
        const qint64 want = std::min(kChunk, kMaxBytes + 1 - before);
        content.resize(int(before + want));
        const qint64 got = file.read(content.data() + before, want);
        if (got < 0)
            return false;
        content.resize(int(before + got));
        if (content.size() > kMaxBytes)
            return false;
        if (got == 0)
            break;
    }
    out = content;
    return true;
}
} // namespace

bool read(const QString &path, QByteArray &bytes)
{
    // Checked before opening: opening a FIFO would wait for a writer.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || info.size() > kMaxBytes)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential())
        return false;
    return readCapped(file, bytes);
}

} // namespace ImageFile
