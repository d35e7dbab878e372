#pragma once

#include "curve/ChunkedArray.h"
#include "curve/SpillFile.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

// What a curve's x axis counts: the points (key = index, as the plot has
// always done) or the seconds since the time origin.
enum class CurveAxis { Points, Time };

struct ValueRange {
    double lower = 0;
    double upper = 0;
    bool found = false; // false when the span held no value but NaN
};

// One curve of the main plot, held compactly for runs of hundreds of
// millions of points: the values in fixed chunks, the keys implicit (the
// index) with, for live curves, a monotonic time per point for the time
// axis. The chunk being filled lives in memory; a full chunk is written to
// the shared SpillFile in the narrowest form that keeps every value exactly
// (16-bit integers for a live curve, else float, else double; times as
// 32-bit microsecond offsets, else 64-bit) and read back through mappings
// for long runs, or a two-block cache for the few values a drawing needs
// per pixel column. Resident beside that: a min/max summary per block of
// kBlock points and levels above it, and each block's first time (about
// 0.1 byte a point), which answer value ranges and key searches in
// O(log n) plus two partial blocks.
//
// A gap (markGap: a pause, a Stop, a reconnection) starts a new stretch;
// on the time axis no line joins two stretches. A store that cannot keep a
// point (maxPoints reached, the spill file unwritable) refuses it: append()
// returns false and error() says why, and everything held stays readable.
// GUI thread only.
class CurveStore {
public:
    static constexpr int kBlockShift = 8;
    static constexpr qint64 kBlock = qint64(1) << kBlockShift;
    static constexpr int kDefaultChunkShift = 20;
    // 2^28 points: 9.3 days at 333 points a second.
    static constexpr qint64 kDefaultMaxPoints = qint64(1) << 28;

    enum class Error { None, Full, SpillFailed, ReadFailed };

    // `chunkShift`: 2^chunkShift points a chunk, at least kBlockShift (tests
    // use small chunks to spill early).
    explicit CurveStore(std::shared_ptr<SpillFile> spill, int chunkShift = kDefaultChunkShift,
                        qint64 maxPoints = kDefaultMaxPoints);
    ~CurveStore();
    CurveStore(const CurveStore &) = delete;
    CurveStore &operator=(const CurveStore &) = delete;

    // The first point decides whether the curve has times: a timeless point
    // in a timed curve repeats the previous time, a time given to a timeless
    // curve is dropped. Times are kept to the microsecond and never go back:
    // one earlier than the previous point's is taken as equal to it.
    bool append(double value);
    bool append(double value, qint64 timeNs);
    // The next point starts a new stretch.
    void markGap();
    // Forgets every point; the memory of the summaries is kept for reuse.
    void clear();

    qint64 size() const { return count; }
    bool hasTimes() const { return timed; }
    qint64 maxPoints() const { return limit; }
    int chunkShift() const { return shift; }

    double value(qint64 index) const;
    // The point's time in nanoseconds (a whole number of microseconds).
    qint64 timeNs(qint64 index) const;
    // Time-axis keys are seconds since this time; by default the first point's.
    void setTimeOrigin(qint64 ns);
    qint64 timeOrigin() const { return originNs; }
    // Points: the index. Time: seconds since the origin (the index when the
    // curve has no times).
    double key(CurveAxis axis, qint64 index) const;
    // The first point whose key is at least `key`, size() when none.
    qint64 lowerBound(CurveAxis axis, double key) const;

    // Copies values [from, from + n) into `out`: the streamed way through a
    // long curve, one mapped chunk at a time.
    void read(qint64 from, qint64 n, double *out) const;
    // Smallest and largest value of points [from, to), NaN skipped.
    ValueRange valueRange(qint64 from, qint64 to) const;

    // True when point `index` (> 0) begins a stretch.
    bool startsStretch(qint64 index) const;
    // The points in (from, to) that begin a stretch, ascending.
    std::vector<qint64> stretchStartsIn(qint64 from, qint64 to) const;

    Error error() const { return failure; }
    QString errorString() const;
    // Heap held by this curve: the chunk being filled, the summaries, the
    // chunk directory. Mappings are the spill file's (SpillFile::mappedBytes).
    std::size_t residentBytes() const;
    qint64 spilledChunks() const { return qint64(sealed.size()); }
    const std::shared_ptr<SpillFile> &spillFile() const { return spill; }

private:
    enum class ValueCoding : quint8 { Short, Float, Double };
    enum class TimeCoding : quint8 { None, Offset32, Full64 };
    struct Sealed {
        SpillFile::Region region;
        ValueCoding values;
        TimeCoding times;
        qint64 timeBaseUs;
    };
    struct Span {
        double lo;
        double hi;
    };
    // A block of a spilled chunk, decoded: the column edges of a drawing
    // read a value or a partial block each, mostly from the same block.
    struct CachedValues {
        qint64 block = -1;
        double values[kBlock];
    };
    struct CachedTimes {
        qint64 block = -1;
        qint64 us[kBlock];
    };
    static constexpr int kPieceShift = 12;
    // Spans of a spilled chunk up to this long are read block by block
    // through the cache instead of a mapping.
    static constexpr qint64 kSmallRead = 4 * kBlock;
    static constexpr int kFanOut = 8;
    static constexpr qint64 kDirectoryReserve = 256;

    bool appendPoint(double value, qint64 timeUs);
    bool makeRoom();
    bool seal();
    bool writeValues(ValueCoding coding);
    bool writeTimes(TimeCoding coding, qint64 baseUs);
    void closeBlock();
    void scanLevel(std::size_t level, qint64 from, qint64 to, Span &acc) const;
    template <typename F>
    void scanValues(qint64 from, qint64 to, F &&visit) const;
    void readTimesUs(qint64 from, qint64 n, qint64 *out) const;
    qint64 timeUs(qint64 index) const;
    qint64 lowerBoundTime(qint64 targetUs) const;
    const uchar *mapChunk(qint64 chunk) const;
    const double *blockValues(qint64 block) const;
    const qint64 *blockTimesUs(qint64 block) const;
    bool readBlock(qint64 block, bool times, void *out) const;

    std::shared_ptr<SpillFile> spill;
    const int shift;
    const qint64 chunkPoints;
    const qint64 limit;

    qint64 count = 0;
    bool timed = false;
    qint64 lastTimeUs = 0;
    qint64 originNs = 0;
    bool originSet = false;
    bool gapPending = false;

    std::vector<Sealed> sealed;
    ChunkedArray<double, kPieceShift> tailValues;
    ChunkedArray<qint64, kPieceShift> tailTimes; // microseconds
    bool tailAllShort = true;
    bool tailAllFloat = true;
    std::unique_ptr<char[]> scratch; // one piece, encoded, on its way out

    std::vector<ChunkedArray<Span, kPieceShift>> levels; // levels[0]: one per block
    ChunkedArray<qint64, kPieceShift> blockFirstUs;
    std::vector<qint64> stretchStarts;

    mutable Error failure = Error::None;
    mutable CachedValues valueCache[2];
    mutable int nextValueSlot = 0;
    mutable CachedTimes timeCache;
};
