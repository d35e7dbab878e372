#pragma once

#include <QFile>
#include <QString>

// Files that the tool reads or writes whole (logs, images) must be regular
// files: opening a FIFO waits until its other end appears, and a device may
// never end or may take harm from a write. One check for every reader and
// writer, made without opening the path and made again on what was opened.
namespace RegularFile {

enum class Kind {
    Missing, // nothing there yet
    Regular, // a regular file, or a symbolic link to one
    Other,   // a folder, FIFO, device or socket; also an empty path
};

// What `path` names, judged without opening it.
Kind kindOf(const QString &path);

enum class Opened { Yes, NotRegular, Failed };

// Opens `path` into `file` when it names a regular file or, with WriteOnly,
// nothing yet (it is then created). `mode` is ReadOnly or WriteOnly, with
// Append, Truncate or Unbuffered as needed; a WriteOnly open without Truncate
// keeps the content. Never waits for the other end of a FIFO or on a device.
// Failed leaves the system's reason in `error`.
Opened open(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *error = nullptr);

} // namespace RegularFile
