#pragma once

#include <QString>
#include <QtGlobal>

// How far a download has come, in words for standard error: a bar that
// redraws one terminal line, or plain lines for a log.
namespace TransferProgress {

struct Figures {
    int blocksDone = 0;
    int blocks = 0;
    qint64 bytesDone = 0;
    qint64 elapsedMs = 0;
};

// Bytes per second so far; 0 before any time has passed.
double bytesPerSecond(const Figures &f);
// Seconds still to go at the pace so far; -1 while it cannot be told.
qint64 secondsLeft(const Figures &f);

// "[#######.............]  120/400 blocks  7.7 kB/s  0:12 left", `width`
// characters of bar between the brackets.
QString bar(const Figures &f, int width = 30);
// "120/400 blocks, 7.7 kB/s, 0:12 left"
QString line(const Figures &f);

// "850 B/s", "7.7 kB/s", "1.2 MB/s"
QString rateText(double bytesPerSecond);
// "0:07", "12:34", "1:02:03"; "?" for -1.
QString durationText(qint64 seconds);

} // namespace TransferProgress
