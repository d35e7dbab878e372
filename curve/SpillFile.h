#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

class QTemporaryFile;

// The temporary file that curves move their full chunks to, and the
// read-only mappings they read long runs back through. Several curves of a plot
// share one: one file, one budget for what is mapped at once, so the plot's
// resident memory has one bound however many curves it holds.
//
// Regions are written in pieces (beginRegion, write, finishRegion) with
// plain writes, never through a mapping, so a full disk shows as a failed
// write: the region is abandoned, the file cut back to where it was, and
// errorString() says why. Mapped pages stay resident until their mapping
// is dropped; the budget bounds the mapped bytes, dropping the least
// recently used mappings first. The file is created on the first region,
// unlinked at once where the system allows (so not even a crash leaves it
// behind) and removed with this object otherwise. GUI thread only.
class SpillFile {
public:
    static constexpr qint64 kDefaultMappedBudget = qint64(64) << 20;

    struct Region {
        qint64 offset = -1;
        qint64 size = 0;
        bool isNull() const { return offset < 0; }
    };

    // `folder` empty: the system's temporary folder.
    explicit SpillFile(const QString &folder = QString(), qint64 mappedBudget = kDefaultMappedBudget);
    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    // False when the file cannot be created; then errorString() says why.
    bool beginRegion();
    // False when the bytes did not all reach the file (a full disk); the
    // region is then abandoned already.
    bool write(const void *data, qint64 size);
    Region finishRegion();
    void abandonRegion();

    // The region's bytes, 8-byte aligned, valid until the next map() or
    // release(); nullptr when the mapping fails (errorString() says why).
    const uchar *map(const Region &region);
    // As map(), but only where that drops no other mapping: nullptr when the
    // budget is spent. For short reads, which then copy instead.
    const uchar *mapIfRoom(const Region &region);
    // Copies `size` bytes from `offset` within the region into `out`: for a
    // few scattered bytes, cheaper than a mapping and holding no pages.
    bool read(const Region &region, qint64 offset, qint64 size, void *out);
    // The region is no longer needed. Once no region is in use the file is
    // emptied, so clearing every curve gives the disk space back.
    void release(const Region &region);

    QString errorString() const { return error; }
    qint64 fileBytes() const { return end; }
    qint64 mappedBytes() const { return mapped; }
    qint64 mappedBudget() const { return budget; }

private:
    struct Mapping {
        Region region;
        uchar *data = nullptr;
        quint64 lastUse = 0;
    };

    bool ensureFile();
    Mapping *findMapping(const Region &region);
    void unmapAt(std::size_t index);
    void fail(const QString &why);

    QString folder;
    qint64 budget;
    std::unique_ptr<QTemporaryFile> file;
    qint64 end = 0;         // where the next region starts
    qint64 regionStart = -1; // the region being written, or -1
    qint64 liveBytes = 0;   // regions written and not released
    qint64 mapped = 0;
    quint64 uses = 0;
    std::vector<Mapping> mappings;
    QString error;
};
