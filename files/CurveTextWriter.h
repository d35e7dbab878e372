#pragma once

#include <QString>

class QIODevice;

// Streams curve values to a device as curve-file text, in pieces of a little
// over kChunkChars characters, so a long curve never sits whole in memory.
class CurveTextWriter {
public:
    static constexpr int kChunkChars = 4096;

    // The device must be open for writing and outlive the writer.
    explicit CurveTextWriter(QIODevice *device);

    void addValue(double value);
    void endCurve();
    // Writes what is left; true only if every write reached the device whole.
    bool finish();

private:
    void flush();

    QIODevice *device;
    QString buffer;
    bool failed = false;
};
