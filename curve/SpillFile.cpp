#include "curve/SpillFile.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX) && !defined(LIDAR_NO_POSIX)
#include <unistd.h>
#endif

namespace {

constexpr qint64 kAlignment = 8;

// Unbuffered, so that every write reaches the system at once and a full
// disk fails the write that met it, not some later flush.
class UnbufferedTemporaryFile : public QTemporaryFile {
public:
    using QTemporaryFile::QTemporaryFile;
    bool openUnbuffered() { return open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
};

} // namespace

SpillFile::SpillFile(const QString &folder, qint64 mappedBudget)
    : folder(folder.isEmpty() ? QDir::tempPath() : folder)
    , budget(mappedBudget)
{
}

SpillFile::~SpillFile()
{
    while (!mappings.empty())
        unmapAt(mappings.size() - 1);
}

void SpillFile::fail(const QString &why)
{
    error = why;
}

bool SpillFile::ensureFile()
{
    if (file)
        return true;
    auto made = std::make_unique<UnbufferedTemporaryFile>(QDir(folder).filePath(QStringLiteral("lidar-curve-XXXXXX.spill")));
    if (!made->openUnbuffered()) {
        fail(made->errorString());
        return false;
    }
    // The open descriptor keeps the data; the name is not needed again.
    QFile::remove(made->fileName());
    file = std::move(made);
    return true;
}

bool SpillFile::beginRegion()
{
    if (regionStart >= 0)
        abandonRegion();
    if (!ensureFile())
        return false;
    if (!file->seek(end)) {
        fail(file->errorString());
        return false;
    }
    regionStart = end;
    return true;
}

bool SpillFile::write(const void *data, qint64 size)
{
    if (regionStart < 0)
        return false;
    if (file->write(static_cast<const char *>(data), size) != size) {
        fail(file->errorString());
        abandonRegion();
        return false;
    }
    end += size;
    return true;
}

SpillFile::Region SpillFile::finishRegion()
{
    if (regionStart < 0)
        return {};
    static const char padding[kAlignment] = {};
    const qint64 pad = (kAlignment - end % kAlignment) % kAlignment;
    if (pad > 0 && !write(padding, pad))
        return {};
    Region region{regionStart, end - regionStart};
    regionStart = -1;
    liveBytes += region.size;
    return region;
}

void SpillFile::abandonRegion()
{
    if (regionStart < 0)
        return;
    end = regionStart;
    regionStart = -1;
    // A failed cut only leaves dead bytes past `end`, overwritten next time.
    file->resize(end);
}

SpillFile::Mapping *SpillFile::findMapping(const Region &region)
{
    for (Mapping &m : mappings) {
        if (m.region.offset == region.offset) {
            m.lastUse = ++uses;
            return &m;
        }
    }
    return nullptr;
}

const uchar *SpillFile::mapIfRoom(const Region &region)
{
    if (region.isNull() || !file)
        return nullptr;
    if (const Mapping *m = findMapping(region))
        return m->data;
    return mapped + region.size <= budget ? map(region) : nullptr;
}

const uchar *SpillFile::map(const Region &region)
{
    if (region.isNull() || !file)
        return nullptr;
    if (const Mapping *m = findMapping(region))
        return m->data;
    while (!mappings.empty() && mapped + region.size > budget) {
        const auto oldest = std::min_element(mappings.begin(), mappings.end(), [](const Mapping &a, const Mapping &b) {
            return a.lastUse < b.lastUse;
        });
        unmapAt(std::size_t(oldest - mappings.begin()));
    }
    uchar *data = file->map(region.offset, region.size);
    if (!data) {
        fail(file->errorString());
        return nullptr;
    }
    mappings.push_back({region, data, ++uses});
    mapped += region.size;
    return data;
}

bool SpillFile::read(const Region &region, qint64 offset, qint64 size, void *out)
{
    if (region.isNull() || !file || offset < 0 || offset + size > region.size)
        return false;
#if defined(Q_OS_UNIX) && !defined(LIDAR_NO_POSIX)
    // One call instead of a seek and a read: drawing makes hundreds a frame.
    if (::pread(file->handle(), out, std::size_t(size), off_t(region.offset + offset)) == ssize_t(size))
        return true;
    fail(QString::fromLocal8Bit(std::strerror(errno)));
    return false;
#else
    if (!file->seek(region.offset + offset) || file->read(static_cast<char *>(out), size) != size) {
        fail(file->errorString());
        return false;
    }
    return true;
#endif
}

void SpillFile::unmapAt(std::size_t index)
{
    file->unmap(mappings[index].data);
    mapped -= mappings[index].region.size;
    mappings.erase(mappings.begin() + std::ptrdiff_t(index));
}

void SpillFile::release(const Region &region)
{
    if (region.isNull())
        return;
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        if (mappings[i].region.offset == region.offset) {
            unmapAt(i);
            break;
        }
    }
    liveBytes -= region.size;
    if (liveBytes == 0 && regionStart < 0 && file) {
        while (!mappings.empty())
            unmapAt(mappings.size() - 1);
        end = 0;
        file->resize(0);
    }
}
