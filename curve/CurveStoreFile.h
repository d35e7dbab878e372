#pragma once

#include "curve/CurveStore.h"

#include <QString>

#include <memory>
#include <vector>

class CurveTextWriter;

// Curve files (.cur) to and from CurveStores, streamed both ways: saving
// reads each curve a few thousand values at a time into the writer, and
// playback parses the file piece by piece into new stores, so neither ever
// holds a long curve or the file whole.
namespace CurveStoreFile {

// Values playback takes in, in all: what the default store holds, resident
// memory staying bounded (the rest goes to the spill file).
constexpr qint64 kMaxPoints = CurveStore::kDefaultMaxPoints;
constexpr int kMaxCurves = 1024;

using Curves = std::vector<std::unique_ptr<CurveStore>>;

// Adds every value of every curve, one line per curve, to `writer`; the
// caller finishes the writer. False when a spilled chunk could not be read
// back, so a damaged recording is never reported as saved.
bool write(const std::vector<const CurveStore *> &curves, CurveTextWriter *writer);

// The curves of the file at `path` as new stores on `spill`. False, with
// `curves` untouched, when the file cannot be read, holds more than
// `maxCurves` curves or `maxPoints` values, or the storage cannot keep them
// (a full disk).
bool load(const QString &path, const std::shared_ptr<SpillFile> &spill, Curves *curves,
          qint64 maxPoints = kMaxPoints, int maxCurves = kMaxCurves,
          int chunkShift = CurveStore::kDefaultChunkShift);

} // namespace CurveStoreFile
