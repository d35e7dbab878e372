#include "curve/SpillFile.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>

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

const uchar *SpillFile::map(const Region &region)
{
    if (region.isNull() || !file)
        return nullptr;
    const auto same = std::find_if(mappings.begin(), mappings.end(), [&](const Mapping &m) {
        return m.region.offset == region.offset;
    });
    if (same != mappings.end()) {
        same->lastUse = ++uses;
        return same->data;
    }
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
