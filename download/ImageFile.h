#pragma once

#include <QByteArray>
#include <QString>

// Reads a firmware image or calibration table whole, as opaque bytes.
namespace ImageFile {

// Far above any real image; keeps a wrong pick from eating the memory.
constexpr qint64 kMaxBytes = 64 * 1024 * 1024;

// Fills `bytes` with the file's content and returns true, or returns false
// and leaves `bytes` alone when the path is not a regular file, is larger
// than kMaxBytes, or cannot be read to its end. Never blocks on a FIFO or
// reads forever from a device.
bool read(const QString &path, QByteArray &bytes);

} // namespace ImageFile
