#pragma once

#include <QFile>
#include <QString>

#include <string>

// Where a command's data goes: standard output, or a file named by
// --output (a regular file only, created or emptied). Text is collected and
// written out whole lines at a time; after a failed write nothing more is
// written, and the failure says why.
class DataOutput {
public:
    // Standard output.
    DataOutput() = default;
    // False, with the reason in error(), when the file cannot be opened for writing.
    bool openFile(const QString &path);

    std::string &pending() { return buffer; }
    // Writes what is pending; false once a write has failed.
    bool flush();
    bool failed() const { return !problem.isEmpty(); }
    QString error() const { return problem; }
    QString name() const { return path.isEmpty() ? QStringLiteral("standard output") : path; }

private:
    QFile file;
    QString path;
    int fd = 1;
    std::string buffer;
    QString problem;
};
