#include "files/CurveFile.h"

#include "files/CurveTextReader.h"
#include "io/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

namespace CurveFile {

namespace {
constexpr qint64 kReadChunk = 64 * 1024;
constexpr int kFirstPlaybackColour = Qt::red;
constexpr int kVisiblePlaybackColours = 12;
constexpr int kFirstRepeatedCurve = 13;
} // namespace

QString formatValue(double value)
{
    return QString::number(value, 'g', 6);
}

QString rememberedPath(const QString &chosen, const QString &extension)
{
    return QString(chosen).remove(extension, Qt::CaseSensitive);
}

QString withDefaultSuffix(const QString &chosen, const QString &extension)
{
    if (!QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    // "run." already has the dot.
    return chosen.endsWith(QLatin1Char('.')) ? chosen + extension.mid(1) : chosen + extension;
}

Qt::GlobalColor playbackColour(int curve)
{
    // Qt's global colour table ends with transparent at 19; going past it
    // would leave the enumeration.
    if (curve < kFirstRepeatedCurve)
        return Qt::GlobalColor(kFirstPlaybackColour + curve);
    const int step = (curve - kFirstRepeatedCurve) % kVisiblePlaybackColours;
    return Qt::GlobalColor(kFirstPlaybackColour + step);
}

bool mayWriteInPlace(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isWritable() && !QFileInfo(info.absolutePath()).isWritable();
}

bool readWhole(const QString &path, QByteArray *bytes)
{
    // Regular files only: opening a FIFO for reading blocks, and a device
    // such as /dev/zero never ends.
    if (RegularFile::kindOf(path) != RegularFile::Kind::Regular || QFileInfo(path).size() > kMaxReadSize)
        return false;
    QFile file;
    if (RegularFile::open(file, path, QIODevice::ReadOnly) != RegularFile::Opened::Yes)
        return false;
    QByteArray whole;
    whole.reserve(int(qMin(file.size(), kMaxReadSize)));
    QByteArray chunk(int(kReadChunk), Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(chunk.data(), kReadChunk);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (whole.size() + got > kMaxReadSize)
            return false;
        whole.append(chunk.constData(), int(got));
    }
    *bytes = whole;
    return true;
}

bool parseCurves(const QByteArray &text, Curves *curves)
{
    Curves read;
    CurveTextReader reader(text);
    QVector<double> values;
    int pointsLeft = kMaxPoints;
    while (reader.nextCurve(&values, pointsLeft)) {
        if (read.size() == kMaxCurves || values.size() > pointsLeft)
            return false;
        pointsLeft -= values.size();
        // Moved, not shared: the reader's next clear would copy a shared line.
        read.append(std::move(values));
    }
    *curves = read;
    return true;
}

bool streamCurves(const QString &path, CurveTextStream::Sink *sink)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxStreamedReadSize)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return CurveTextStream::read(&file, sink) == CurveTextStream::Outcome::Finished;
}

} // namespace CurveFile
