#pragma once

#include <QByteArray>
#include <QString>

// Reads a firmware image or calibration table whole, as opaque bytes.
namespace ImageFile {

// Far above any real image; keeps a wrong pick from eating the memory.
constexpr qint64 kMaxBytes = 64 * 1024 * 1024;

enum class Problem { None, NotAFile, TooLarge, Unreadable };

// What the path holds, judged without opening it: NotAFile for an empty path,
// a folder, a device or anything missing; TooLarge above kMaxBytes. `size`
// gets the file's size when it is a regular file.
Problem inspect(const QString &path, qint64 *size = nullptr);

// Fills `bytes` with the file's content and returns true, or returns false
// and leaves `bytes` alone when the path is not a regular file, is larger
// than kMaxBytes, or cannot be read to its end; `problem` then says which.
// Never blocks on a FIFO or reads forever from a device.
bool read(const QString &path, QByteArray &bytes, Problem *problem = nullptr);

} // namespace ImageFile
