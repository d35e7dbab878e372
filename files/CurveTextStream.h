#pragma once

#include <QtGlobal>

class QIODevice;

// Reads curve-file text from a device piece by piece and hands each curve's
// values to a sink as they come: the same curves and values CurveTextReader
// finds in the whole text (carriage returns dropped wherever they stand,
// blank lines making no curve, parts that do not convert skipped), with
// memory bounded by one piece however long the file is.
class CurveTextStream {
public:
    static constexpr qint64 kPieceBytes = qint64(1) << 20;
    // No writer puts a number this long between two commas; a longer part is
    // skipped like any other that does not convert, without being held.
    static constexpr int kMaxPartChars = 65536;

    class Sink {
    public:
        virtual ~Sink() = default;
        // A non-blank line begins a curve. Returning false stops the reading.
        virtual bool beginCurve() = 0;
        virtual bool addValue(double value) = 0;
    };

    enum class Outcome { Finished, ReadFailed, Stopped };

    static Outcome read(QIODevice *device, Sink *sink, qint64 pieceBytes = kPieceBytes);
};
