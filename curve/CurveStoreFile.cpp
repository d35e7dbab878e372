#include "curve/CurveStoreFile.h"

#include "files/CurveFile.h"
#include "files/CurveTextStream.h"
#include "files/CurveTextWriter.h"

namespace CurveStoreFile {

namespace {

constexpr qint64 kReadBatch = 4096;

class StoreSink : public CurveTextStream::Sink {
public:
    StoreSink(std::shared_ptr<SpillFile> spill, qint64 maxPoints, int maxCurves, int chunkShift)
        : spill(std::move(spill))
        , maxPoints(maxPoints)
        , maxCurves(maxCurves)
        , chunkShift(chunkShift)
    {
    }

    bool beginCurve() override
    {
        if (int(curves.size()) >= maxCurves)
            return false;
        curves.push_back(std::make_unique<CurveStore>(spill, chunkShift, maxPoints));
        return true;
    }

    bool addValue(double value) override
    {
        if (taken >= maxPoints || !curves.back()->append(value))
            return false;
        ++taken;
        return true;
    }

    Curves curves;

private:
    std::shared_ptr<SpillFile> spill;
    qint64 maxPoints;
    int maxCurves;
    int chunkShift;
    qint64 taken = 0;
};

} // namespace

bool write(const std::vector<const CurveStore *> &curves, CurveTextWriter *writer)
{
    double batch[kReadBatch];
    for (const CurveStore *curve : curves) {
        for (qint64 from = 0; from < curve->size(); from += kReadBatch) {
            const qint64 n = std::min(kReadBatch, curve->size() - from);
            curve->read(from, n, batch);
            for (qint64 i = 0; i < n; ++i)
                writer->addValue(batch[i]);
        }
        if (curve->error() == CurveStore::Error::ReadFailed)
            return false;
        writer->endCurve();
    }
    return true;
}

bool load(const QString &path, const std::shared_ptr<SpillFile> &spill, Curves *curves, qint64 maxPoints,
          int maxCurves, int chunkShift)
{
    StoreSink sink(spill, maxPoints, maxCurves, chunkShift);
    if (!CurveFile::streamCurves(path, &sink))
        return false;
    *curves = std::move(sink.curves);
    return true;
}

} // namespace CurveStoreFile
