#include "curve/CurveStore.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Bit for bit, so that -0 and every NaN come back as they went in.
bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

bool fitsShort(double v)
{
    return v >= -32768.0 && v <= 32767.0 && sameBits(double(qint16(v)), v);
}

bool fitsFloat(double v)
{
    if (std::isnan(v) || (std::isfinite(v) && std::fabs(v) > double(FLT_MAX)))
        return false;
    return sameBits(double(float(v)), v);
}

int valueWidth(int coding)
{
    static const int widths[] = {2, 4, 8};
    return widths[coding];
}

} // namespace

CurveStore::CurveStore(std::shared_ptr<SpillFile> spill, int chunkShift, qint64 maxPoints)
    : spill(std::move(spill))
    , shift(std::max(chunkShift, kBlockShift))
    , chunkPoints(qint64(1) << shift)
    , limit(std::max<qint64>(maxPoints, 0))
{
    // The directory is small (a few dozen bytes a chunk) and may grow by
    // copying; reserving for the bound would cost every short curve that much.
    sealed.reserve(std::size_t(std::min<qint64>(limit >> shift, kDirectoryReserve)) + 1);
    levels.reserve(16);
}

CurveStore::~CurveStore()
{
    for (const Sealed &s : sealed)
        spill->release(s.region);
}

void CurveStore::clear()
{
    for (const Sealed &s : sealed)
        spill->release(s.region);
    sealed.clear();
    tailValues.clear();
    tailTimes.clear();
    tailAllShort = tailAllFloat = true;
    for (auto &level : levels)
        level.clear();
    blockFirstUs.clear();
    stretchStarts.clear();
    count = 0;
    timed = false;
    lastTimeUs = 0;
    originNs = 0;
    originSet = false;
    gapPending = false;
    failure = Error::None;
    valueCache[0].block = valueCache[1].block = timeCache.block = -1;
}

bool CurveStore::append(double value)
{
    return appendPoint(value, lastTimeUs);
}

bool CurveStore::append(double value, qint64 timeNs)
{
    if (count == 0)
        timed = true;
    // Floor, also below zero, so that order is kept.
    const qint64 us = timeNs >= 0 ? timeNs / 1000 : -((-timeNs + 999) / 1000);
    return appendPoint(value, count == 0 ? us : std::max(us, lastTimeUs));
}

void CurveStore::markGap()
{
    gapPending = true;
}

void CurveStore::setTimeOrigin(qint64 ns)
{
    originNs = ns;
    originSet = true;
}

bool CurveStore::makeRoom()
{
    if (count >= limit) {
        failure = Error::Full;
        return false;
    }
    return tailValues.size() < chunkPoints || seal();
}

bool CurveStore::appendPoint(double value, qint64 timeUs)
{
    if (!makeRoom())
        return false;
    if (timed) {
        if (count == 0 && !originSet)
            originNs = timeUs * 1000;
        if (count % kBlock == 0)
            blockFirstUs.push_back(timeUs);
        tailTimes.push_back(timeUs);
        lastTimeUs = timeUs;
    }
    tailValues.push_back(value);
    tailAllShort = tailAllShort && fitsShort(value);
    tailAllFloat = tailAllFloat && fitsFloat(value);
    if (gapPending && count > 0)
        stretchStarts.push_back(count);
    gapPending = false;
    ++count;
    if (count % kBlock == 0)
        closeBlock();
    // A failure here keeps the full chunk in memory and is tried again
    // before the next point is taken.
    if (tailValues.size() == chunkPoints)
        seal();
    return true;
}

bool CurveStore::seal()
{
    const ValueCoding values = tailAllShort ? ValueCoding::Short : tailAllFloat ? ValueCoding::Float : ValueCoding::Double;
    const qint64 baseUs = timed ? tailTimes[0] : 0;
    TimeCoding times = TimeCoding::None;
    if (timed)
        times = tailTimes[chunkPoints - 1] - baseUs <= qint64(UINT32_MAX) ? TimeCoding::Offset32 : TimeCoding::Full64;
    if (!scratch)
        scratch.reset(new char[std::size_t(ChunkedArray<double, kPieceShift>::kPiece) * sizeof(double)]);
    SpillFile::Region region;
    if (spill->beginRegion() && writeValues(values) && writeTimes(times, baseUs))
        region = spill->finishRegion();
    if (region.isNull()) {
        failure = Error::SpillFailed;
        return false;
    }
    sealed.push_back({region, values, times, baseUs});
    tailValues.clear();
    tailTimes.clear();
    tailAllShort = tailAllFloat = true;
    failure = Error::None;
    return true;
}

bool CurveStore::writeValues(ValueCoding coding)
{
    const qint64 piece = ChunkedArray<double, kPieceShift>::kPiece;
    const int width = valueWidth(int(coding));
    for (qint64 start = 0; start < chunkPoints; start += piece) {
        const qint64 n = std::min(piece, chunkPoints - start);
        const double *from = tailValues.piece(start / piece);
        for (qint64 i = 0; i < n; ++i) {
            char *to = scratch.get() + i * width;
            if (coding == ValueCoding::Short) {
                const qint16 v = qint16(from[i]);
                std::memcpy(to, &v, sizeof v);
            } else if (coding == ValueCoding::Float) {
                const float v = float(from[i]);
                std::memcpy(to, &v, sizeof v);
            } else {
                std::memcpy(to, &from[i], sizeof(double));
            }
        }
        if (!spill->write(scratch.get(), n * width))
            return false;
    }
    return true;
}

bool CurveStore::writeTimes(TimeCoding coding, qint64 baseUs)
{
    if (coding == TimeCoding::None)
        return true;
    const qint64 piece = ChunkedArray<qint64, kPieceShift>::kPiece;
    if (coding == TimeCoding::Full64) {
        for (qint64 start = 0; start < chunkPoints; start += piece)
            if (!spill->write(tailTimes.piece(start / piece), std::min(piece, chunkPoints - start) * 8))
                return false;
        return true;
    }
    for (qint64 start = 0; start < chunkPoints; start += piece) {
        const qint64 n = std::min(piece, chunkPoints - start);
        const qint64 *from = tailTimes.piece(start / piece);
        for (qint64 i = 0; i < n; ++i) {
            const quint32 offset = quint32(from[i] - baseUs);
            std::memcpy(scratch.get() + i * 4, &offset, 4);
        }
        if (!spill->write(scratch.get(), n * 4))
            return false;
    }
    return true;
}

void CurveStore::closeBlock()
{
    Span span{kInf, -kInf};
    // NaN fails both comparisons and is skipped.
    for (qint64 i = tailValues.size() - kBlock; i < tailValues.size(); ++i) {
        const double v = tailValues[i];
        if (v < span.lo)
            span.lo = v;
        if (v > span.hi)
            span.hi = v;
    }
    if (levels.empty())
        levels.emplace_back();
    levels[0].push_back(span);
    for (std::size_t level = 0; levels[level].size() % kFanOut == 0; ++level) {
        if (level + 1 == levels.size())
            levels.emplace_back();
        const auto &below = levels[level];
        Span up{kInf, -kInf};
        for (qint64 k = below.size() - kFanOut; k < below.size(); ++k) {
            up.lo = std::min(up.lo, below[k].lo);
            up.hi = std::max(up.hi, below[k].hi);
        }
        levels[level + 1].push_back(up);
    }
}

const uchar *CurveStore::mapChunk(qint64 chunk) const
{
    const uchar *data = spill->map(sealed[std::size_t(chunk)].region);
    if (!data)
        failure = Error::ReadFailed;
    return data;
}

// Calls visit(index, value) for points [from, to), chunk by chunk. Values of
// a chunk that cannot be mapped read as NaN.
template <typename F>
void CurveStore::scanValues(qint64 from, qint64 to, F &&visit) const
{
    while (from < to) {
        const qint64 chunk = from >> shift;
        const qint64 first = chunk << shift;
        const qint64 end = std::min(to, first + chunkPoints);
        if (chunk == qint64(sealed.size())) {
            for (qint64 i = from; i < end; ++i)
                visit(i, tailValues[i - first]);
        } else if (end - from <= kSmallRead && !spill->mapIfRoom(sealed[std::size_t(chunk)].region)) {
            for (qint64 i = from; i < end;) {
                const qint64 block = i >> kBlockShift;
                const double *values = blockValues(block);
                const qint64 blockEnd = std::min(end, (block + 1) << kBlockShift);
                for (; i < blockEnd; ++i)
                    visit(i, values[i - (block << kBlockShift)]);
            }
        } else if (const uchar *data = mapChunk(chunk)) {
            switch (sealed[std::size_t(chunk)].values) {
            case ValueCoding::Short: {
                const auto *v = reinterpret_cast<const qint16 *>(data);
                for (qint64 i = from; i < end; ++i)
                    visit(i, double(v[i - first]));
                break;
            }
            case ValueCoding::Float: {
                const auto *v = reinterpret_cast<const float *>(data);
                for (qint64 i = from; i < end; ++i)
                    visit(i, double(v[i - first]));
                break;
            }
            case ValueCoding::Double: {
                const auto *v = reinterpret_cast<const double *>(data);
                for (qint64 i = from; i < end; ++i)
                    visit(i, v[i - first]);
                break;
            }
            }
        } else {
            for (qint64 i = from; i < end; ++i)
                visit(i, std::numeric_limits<double>::quiet_NaN());
        }
        from = end;
    }
}

// The block's bytes, values or times, read from the spill file.
bool CurveStore::readBlock(qint64 block, bool times, void *out) const
{
    const qint64 chunk = (block << kBlockShift) >> shift;
    const Sealed &s = sealed[std::size_t(chunk)];
    const qint64 within = (block << kBlockShift) - (chunk << shift);
    const qint64 valueBytes = valueWidth(int(s.values));
    qint64 offset = within * valueBytes, width = valueBytes;
    if (times) {
        width = s.times == TimeCoding::Offset32 ? 4 : 8;
        offset = chunkPoints * valueBytes + within * width;
    }
    if (spill->read(s.region, offset, kBlock * width, out))
        return true;
    failure = Error::ReadFailed;
    return false;
}

const double *CurveStore::blockValues(qint64 block) const
{
    for (CachedValues &cached : valueCache)
        if (cached.block == block)
            return cached.values;
    CachedValues &slot = valueCache[nextValueSlot];
    nextValueSlot ^= 1;
    char bytes[kBlock * sizeof(double)];
    slot.block = -1;
    if (!readBlock(block, false, bytes)) {
        std::fill(slot.values, slot.values + kBlock, std::numeric_limits<double>::quiet_NaN());
        return slot.values;
    }
    const ValueCoding coding = sealed[std::size_t((block << kBlockShift) >> shift)].values;
    for (qint64 k = 0; k < kBlock; ++k) {
        if (coding == ValueCoding::Short) {
            qint16 v;
            std::memcpy(&v, bytes + k * 2, 2);
            slot.values[k] = v;
        } else if (coding == ValueCoding::Float) {
            float v;
            std::memcpy(&v, bytes + k * 4, 4);
            slot.values[k] = double(v);
        } else {
            std::memcpy(&slot.values[k], bytes + k * 8, 8);
        }
    }
    slot.block = block;
    return slot.values;
}

const qint64 *CurveStore::blockTimesUs(qint64 block) const
{
    if (timeCache.block == block)
        return timeCache.us;
    const Sealed &s = sealed[std::size_t((block << kBlockShift) >> shift)];
    char bytes[kBlock * sizeof(qint64)];
    timeCache.block = -1;
    if (!readBlock(block, true, bytes)) {
        std::fill(timeCache.us, timeCache.us + kBlock, s.timeBaseUs);
        return timeCache.us;
    }
    for (qint64 k = 0; k < kBlock; ++k) {
        if (s.times == TimeCoding::Offset32) {
            quint32 offset;
            std::memcpy(&offset, bytes + k * 4, 4);
            timeCache.us[k] = s.timeBaseUs + offset;
        } else {
            std::memcpy(&timeCache.us[k], bytes + k * 8, 8);
        }
    }
    timeCache.block = block;
    return timeCache.us;
}

double CurveStore::value(qint64 index) const
{
    double result = std::numeric_limits<double>::quiet_NaN();
    if (index >= 0 && index < count)
        scanValues(index, index + 1, [&](qint64, double v) { result = v; });
    return result;
}

void CurveStore::read(qint64 from, qint64 n, double *out) const
{
    from = std::max<qint64>(from, 0);
    const qint64 to = std::min(count, from + std::max<qint64>(n, 0));
    scanValues(from, to, [&](qint64 i, double v) { out[i - from] = v; });
}

void CurveStore::readTimesUs(qint64 from, qint64 n, qint64 *out) const
{
    const qint64 start = from;
    const qint64 to = from + n;
    while (from < to) {
        const qint64 chunk = from >> shift;
        const qint64 first = chunk << shift;
        const qint64 end = std::min(to, first + chunkPoints);
        if (chunk == qint64(sealed.size())) {
            for (qint64 i = from; i < end; ++i)
                out[i - start] = tailTimes[i - first];
        } else if (end - from <= kSmallRead && !spill->mapIfRoom(sealed[std::size_t(chunk)].region)) {
            for (qint64 i = from; i < end;) {
                const qint64 block = i >> kBlockShift;
                const qint64 *times = blockTimesUs(block);
                const qint64 blockEnd = std::min(end, (block + 1) << kBlockShift);
                for (; i < blockEnd; ++i)
                    out[i - start] = times[i - (block << kBlockShift)];
            }
        } else {
            const Sealed &s = sealed[std::size_t(chunk)];
            const uchar *data = mapChunk(chunk);
            const uchar *times = data ? data + chunkPoints * valueWidth(int(s.values)) : nullptr;
            for (qint64 i = from; i < end; ++i) {
                qint64 t = s.timeBaseUs;
                if (times && s.times == TimeCoding::Offset32)
                    t += reinterpret_cast<const quint32 *>(times)[i - first];
                else if (times)
                    t = reinterpret_cast<const qint64 *>(times)[i - first];
                out[i - start] = t;
            }
        }
        from = end;
    }
}

qint64 CurveStore::timeUs(qint64 index) const
{
    qint64 t = 0;
    readTimesUs(index, 1, &t);
    return t;
}

qint64 CurveStore::timeNs(qint64 index) const
{
    if (!timed || index < 0 || index >= count)
        return 0;
    return timeUs(index) * 1000;
}

double CurveStore::key(CurveAxis axis, qint64 index) const
{
    if (axis == CurveAxis::Points || !timed)
        return double(index);
    return double(timeNs(index) - originNs) / 1e9;
}

qint64 CurveStore::lowerBoundTime(qint64 targetUs) const
{
    // The last block starting before the target holds the answer, or the
    // answer is the next block's first point.
    qint64 lo = 0, hi = blockFirstUs.size();
    while (lo < hi) {
        const qint64 mid = (lo + hi) / 2;
        if (blockFirstUs[mid] < targetUs)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0)
        return 0;
    const qint64 block = lo - 1;
    const qint64 first = block * kBlock;
    const qint64 n = std::min(kBlock, count - first);
    qint64 times[kBlock];
    readTimesUs(first, n, times);
    return first + (std::lower_bound(times, times + n, targetUs) - times);
}

qint64 CurveStore::lowerBound(CurveAxis axis, double key) const
{
    if (std::isnan(key))
        return count;
    if (axis == CurveAxis::Points || !timed) {
        if (key <= 0)
            return 0;
        return key >= double(count) ? count : std::min(count, qint64(std::ceil(key)));
    }
    const double targetUs = std::ceil((double(originNs) + key * 1e9) / 1000.0);
    if (targetUs > 9e18)
        return count;
    if (targetUs < -9e18)
        return 0;
    return lowerBoundTime(qint64(targetUs));
}

// Entries [from, to) of `level`: the unaligned ends entry by entry, the
// aligned middle one level up.
void CurveStore::scanLevel(std::size_t level, qint64 from, qint64 to, Span &acc) const
{
    const auto &entries = levels[level];
    const auto take = [&](qint64 k) {
        acc.lo = std::min(acc.lo, entries[k].lo);
        acc.hi = std::max(acc.hi, entries[k].hi);
    };
    const qint64 headEnd = std::min(to, (from + kFanOut - 1) / kFanOut * kFanOut);
    const qint64 tailBegin = std::max(headEnd, to / kFanOut * kFanOut);
    if (level + 1 >= levels.size() || tailBegin - headEnd < kFanOut) {
        for (qint64 k = from; k < to; ++k)
            take(k);
        return;
    }
    for (qint64 k = from; k < headEnd; ++k)
        take(k);
    for (qint64 k = tailBegin; k < to; ++k)
        take(k);
    scanLevel(level + 1, headEnd / kFanOut, tailBegin / kFanOut, acc);
}

ValueRange CurveStore::valueRange(qint64 from, qint64 to) const
{
    from = std::max<qint64>(from, 0);
    to = std::min(to, count);
    if (from >= to)
        return {};
    Span acc{kInf, -kInf};
    const auto scanRaw = [&](qint64 a, qint64 b) {
        scanValues(a, b, [&](qint64, double v) {
            if (v < acc.lo)
                acc.lo = v;
            if (v > acc.hi)
                acc.hi = v;
        });
    };
    const qint64 headEnd = std::min(to, (from + kBlock - 1) / kBlock * kBlock);
    const qint64 tailBegin = std::max(headEnd, to / kBlock * kBlock);
    if (tailBegin - headEnd < kBlock) {
        scanRaw(from, to);
    } else {
        scanRaw(from, headEnd);
        scanRaw(tailBegin, to);
        scanLevel(0, headEnd / kBlock, tailBegin / kBlock, acc);
    }
    if (acc.lo > acc.hi)
        return {};
    return {acc.lo, acc.hi, true};
}

bool CurveStore::startsStretch(qint64 index) const
{
    return std::binary_search(stretchStarts.begin(), stretchStarts.end(), index);
}

std::vector<qint64> CurveStore::stretchStartsIn(qint64 from, qint64 to) const
{
    const auto first = std::upper_bound(stretchStarts.begin(), stretchStarts.end(), from);
    const auto last = std::lower_bound(first, stretchStarts.end(), to);
    return std::vector<qint64>(first, last);
}

QString CurveStore::errorString() const
{
    return failure == Error::SpillFailed || failure == Error::ReadFailed ? spill->errorString() : QString();
}

std::size_t CurveStore::residentBytes() const
{
    std::size_t total = sizeof(*this) + tailValues.bytes() + tailTimes.bytes() + blockFirstUs.bytes()
        + sealed.capacity() * sizeof(Sealed) + stretchStarts.capacity() * sizeof(qint64)
        + levels.capacity() * sizeof(levels[0]);
    for (const auto &level : levels)
        total += level.bytes();
    if (scratch)
        total += std::size_t(ChunkedArray<double, kPieceShift>::kPiece) * sizeof(double);
    return total;
}
