#include "cli/TransferProgress.h"

namespace TransferProgress {

double bytesPerSecond(const Figures &f)
{
    return f.elapsedMs > 0 ? double(f.bytesDone) * 1000.0 / double(f.elapsedMs) : 0.0;
}

qint64 secondsLeft(const Figures &f)
{
    if (f.blocksDone <= 0 || f.elapsedMs <= 0)
        return -1;
    const qint64 left = qMax(0, f.blocks - f.blocksDone);
    return (left * f.elapsedMs / f.blocksDone + 999) / 1000;
}

QString rateText(double rate)
{
    if (rate < 1000)
        return QStringLiteral("%1 B/s").arg(qRound64(rate));
    if (rate < 1000 * 1000)
        return QStringLiteral("%1 kB/s").arg(rate / 1000, 0, 'f', 1);
    return QStringLiteral("%1 MB/s").arg(rate / 1e6, 0, 'f', 1);
}

QString durationText(qint64 seconds)
{
    if (seconds < 0)
        return QStringLiteral("?");
    const QString mmss = QStringLiteral("%1:%2").arg(seconds / 60 % 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600)
        return mmss;
    return QStringLiteral("%1:%2").arg(seconds / 3600).arg(mmss.rightJustified(5, QLatin1Char('0')));
}

QString line(const Figures &f)
{
    return QStringLiteral("%1/%2 blocks, %3, %4 left")
        .arg(f.blocksDone)
        .arg(f.blocks)
        .arg(rateText(bytesPerSecond(f)), durationText(secondsLeft(f)));
}

QString bar(const Figures &f, int width)
{
    const int filled = f.blocks > 0 ? int(qint64(width) * qBound(0, f.blocksDone, f.blocks) / f.blocks) : 0;
    return QStringLiteral("[%1%2]  %3/%4 blocks  %5  %6 left")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('.')))
        .arg(f.blocksDone)
        .arg(f.blocks)
        .arg(rateText(bytesPerSecond(f)), durationText(secondsLeft(f)));
}

} // namespace TransferProgress
