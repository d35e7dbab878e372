#pragma once

#include "files/CurveTextStream.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <Qt>

// Widget-free rules of the recorded curve file (.cur): one text line per
// curve, each value followed by a comma.
namespace CurveFile {

// Playback refuses anything larger: the file is read whole into memory.
constexpr qint64 kMaxReadSize = qint64(256) * 1024 * 1024;

// Playback takes in no more curves and values than these, in all: a file
// under kMaxReadSize may hold 134 M values, whose points alone need 2 GiB,
// or as many one-value lines, each of which would become a graph.
constexpr int kMaxCurves = 1024;
constexpr int kMaxPoints = 32 * 1024 * 1024;

using Curves = QVector<QVector<double>>;

// The value as QString::arg(double) writes it: 'g', 6 significant digits,
// always with a point and never with group separators.
QString formatValue(double value);

// The last-used path remembered after a chooser: the chosen name with every
// occurrence of `extension` removed (case-sensitive), folders included.
QString rememberedPath(const QString &chosen, const QString &extension);

// The name a file is saved under: `chosen` as typed when its file name has
// a suffix, otherwise with `extension` (".cur", ".png") appended, so that the
// chooser's filter shows the file again.
QString withDefaultSuffix(const QString &chosen, const QString &extension);

// Pen colour of played-back curve k: Qt global colours from red onwards;
// from curve 13 on, the twelve visible ones again in turn.
Qt::GlobalColor playbackColour(int curve);

// True when `path` is a writable file in a folder that takes no new file:
// the temporary file of an atomic save cannot be made there, so the only
// way to record under that name is to write the file in place.
bool mayWriteInPlace(const QString &path);

// Reads a regular file of at most kMaxReadSize bytes whole into `bytes`.
// False for anything else (missing, a folder, a FIFO, a device, too large,
// a failed read); `bytes` is then left as it was.
bool readWhole(const QString &path, QByteArray *bytes);

// The curves of curve-file text. False, with `curves` left as it was, when
// the text holds more than kMaxCurves curves or kMaxPoints values; reading
// stops as soon as a bound is passed.
bool parseCurves(const QByteArray &text, Curves *curves);

// The streamed way of playback never holds the file whole; this only keeps
// a device posing as a file from being read for ever.
constexpr qint64 kMaxStreamedReadSize = qint64(8) << 30;

// Reads the curves of a regular file of at most kMaxStreamedReadSize bytes
// into `sink` piece by piece. False when the file cannot be read (missing, a
// folder, a FIFO, a device, too large, a failed read) or the sink stopped
// the reading, for instance at its bound of values.
bool streamCurves(const QString &path, CurveTextStream::Sink *sink);

} // namespace CurveFile
