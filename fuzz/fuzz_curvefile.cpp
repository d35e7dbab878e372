// Plays the input back as a curve file through the window's file reader and
// plot loader, checks the curves against a plain reading of the format, then
// records them and plays the recording back: it must give the same curves.
#include "app/PlotCurves.h"
#include "files/CurveFile.h"
#include "tests/support/StoredCurves.h"
#include "fuzz/FuzzSupport.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <qcustomplot.h>

#include <cmath>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Low enough that inputs reach it, so the refusal path is exercised too.
constexpr qint64 kMaxValues = 4096;

QCustomPlot *plot = nullptr;
QTemporaryDir *dir = nullptr;

using Curves = QVector<QVector<double>>;

// Lines split at LF, every CR dropped, blank lines skipped; parts split at
// commas, those that are no number skipped.
Curves plainReading(const QByteArray &text)
{
    Curves curves;
    for (QByteArray line : text.split('\n')) {
        line.replace("\r", "");
        if (line.isEmpty())
            continue;
        QVector<double> values;
        for (const QByteArray &part : line.split(',')) {
            bool ok = false;
            const double v = QString::fromUtf8(part.constData(), part.size()).toDouble(&ok);
            if (!part.isEmpty() && ok)
                values.append(v);
        }
        curves.append(values);
    }
    return curves;
}

Curves plotted()
{
    Curves curves;
    for (int g = 0; g < plot->graphCount(); ++g) {
        const QVector<double> keys = StoredCurves::keys(plot->graph(g));
        for (int i = 0; i < keys.size(); ++i)
            check(keys[i] == i);
        curves.append(StoredCurves::values(plot->graph(g)));
    }
    return curves;
}

bool sameValue(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || CurveFile::formatValue(a) == CurveFile::formatValue(b);
}

bool sameCurves(const Curves &a, const Curves &b)
{
    if (a.size() != b.size())
        return false;
    for (int c = 0; c < a.size(); ++c) {
        if (a[c].size() != b[c].size())
            return false;
        for (int i = 0; i < a[c].size(); ++i)
            if (!sameValue(a[c][i], b[c][i]))
                return false;
    }
    return true;
}

bool withinBounds(const Curves &curves)
{
    qint64 values = 0;
    for (const auto &c : curves)
        values += c.size();
    return curves.size() <= CurveStoreFile::kMaxCurves && values <= kMaxValues;
}

bool playBack(const QString &path)
{
    CurveStoreFile::Curves curves;
    if (!PlotCurves::load(plot, path, &curves, kMaxValues))
        return false;
    PlotCurves::show(plot, std::move(curves));
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::guiApp();
    plot = new QCustomPlot;
    dir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    const QString path = dir->filePath(QStringLiteral("input.cur"));
    QFile file(path);
    check(file.open(QIODevice::WriteOnly) && file.write(input) == input.size());
    file.close();

    // Past the bounds the file is refused and the plot stays as it was.
    const Curves read = plainReading(input);
    const Curves before = plotted();
    const bool shown = playBack(path);
    check(shown == withinBounds(read));
    if (!shown) {
        check(sameCurves(plotted(), before));
        return 0;
    }
    const Curves loaded = plotted();
    check(sameCurves(loaded, read));

    // A curve without points is not restored, so compare only the others.
    const QString recorded = dir->filePath(QStringLiteral("recorded.cur"));
    check(PlotCurves::save(*plot, recorded));
    Curves expected;
    for (const auto &c : loaded)
        if (!c.isEmpty())
            expected.append(c);
    check(playBack(recorded));
    check(sameCurves(plotted(), expected));
    return 0;
}
