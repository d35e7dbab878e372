#include "files/CurveTextWriter.h"

#include "files/CurveFile.h"

#include <QIODevice>

CurveTextWriter::CurveTextWriter(QIODevice *device)
    : device(device)
{
    buffer.reserve(kChunkChars + 32);
}

void CurveTextWriter::addValue(double value)
{
    buffer += CurveFile::formatValue(value);
    buffer += QLatin1Char(',');
    if (buffer.size() > kChunkChars)
        flush();
}

void CurveTextWriter::endCurve()
{
    buffer += QLatin1Char('\n');
}

bool CurveTextWriter::finish()
{
    flush();
    return !failed;
}

void CurveTextWriter::flush()
{
    if (buffer.isEmpty())
        return;
    // Once a write has failed the file is lost anyway; stop producing more.
    if (!failed) {
        const QByteArray bytes = buffer.toLatin1();
        failed = device->write(bytes) != bytes.size();
    }
    buffer.clear();
}
