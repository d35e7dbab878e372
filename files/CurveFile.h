#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>

// Widget-free rules of the recorded curve file (.cur): one text line per
// curve, each value followed by a comma.
namespace CurveFile {

// Playback refuses anything larger: the file is read whole into memory.
constexpr qint64 kMaxReadSize = qint64(256) * 1024 * 1024;

// The value as QString::arg(double) writes it: 'g', 6 significant digits,
// always with a point and never with group separators.
QString formatValue(double value);

// The last-used path remembered after a chooser: the chosen name with every
// occurrence of `extension` removed (case-sensitive), folders included.
QString rememberedPath(const QString &chosen, const QString &extension);

// Pen colour of played-back curve k: Qt global colours from red onwards;
// from curve 13 on, the twelve visible ones again in turn.
Qt::GlobalColor playbackColour(int curve);

// Reads a regular file of at most kMaxReadSize bytes whole into `bytes`.
// False for anything else (missing, a folder, a FIFO, a device, too large,
// a failed read); `bytes` is then left as it was.
bool readWhole(const QString &path, QByteArray *bytes);

} // namespace CurveFile
