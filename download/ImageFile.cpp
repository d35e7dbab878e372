#include "download/ImageFile.h"

#include "io/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace ImageFile {

namespace {
// Reads to the end rather than trusting the size: some regular files (like
// those under /proc) report 0 bytes and still have content.
Problem readCapped(QFile &file, QByteArray &out)
{
    constexpr qint64 kChunk = 1024 * 1024;
    QByteArray content;
    for (;;) {
        const qint64 before = content.size();
        const qint64 want = std::min(kChunk, kMaxBytes + 1 - before);
        content.resize(int(before + want));
        const qint64 got = file.read(content.data() + before, want);
        if (got < 0)
            return Problem::Unreadable;
        content.resize(int(before + got));
        if (content.size() > kMaxBytes)
            return Problem::TooLarge;
        if (got == 0)
            break;
    }
    out = content;
    return Problem::None;
}
} // namespace

Problem inspect(const QString &path, qint64 *size)
{
    if (RegularFile::kindOf(path) != RegularFile::Kind::Regular)
        return Problem::NotAFile;
    const QFileInfo info(path);
    if (size)
        *size = info.size();
    return info.size() > kMaxBytes ? Problem::TooLarge : Problem::None;
}

bool read(const QString &path, QByteArray &bytes, Problem *problem)
{
    Problem found = inspect(path);
    if (found == Problem::None) {
        QFile file;
        switch (RegularFile::open(file, path, QIODevice::ReadOnly)) {
        case RegularFile::Opened::Yes:
            found = readCapped(file, bytes);
            break;
        case RegularFile::Opened::NotRegular:
            found = Problem::NotAFile;
            break;
        case RegularFile::Opened::Failed:
            found = Problem::Unreadable;
            break;
        }
    }
    if (problem)
        *problem = found;
    return found == Problem::None;
}

} // namespace ImageFile
