#include "cli/DataOutput.h"

#include "cli/Console.h"
#include "io/RegularFile.h"

#include <cerrno>
#include <cstring>

bool DataOutput::openFile(const QString &name)
{
    path = name;
    QString why;
    switch (RegularFile::open(file, name, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered, &why)) {
    case RegularFile::Opened::Yes:
        fd = file.handle();
        return true;
    case RegularFile::Opened::NotRegular:
        problem = QStringLiteral("cannot write %1: not a regular file").arg(name);
        return false;
    case RegularFile::Opened::Failed:
        break;
    }
    problem = QStringLiteral("cannot write %1: %2").arg(name, why);
    return false;
}

bool DataOutput::flush()
{
    if (failed())
        return false;
    if (buffer.empty())
        return true;
    if (!Console::writeAll(fd, buffer.data(), buffer.size())) {
        problem = QStringLiteral("cannot write %1: %2").arg(name(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    buffer.clear();
    return true;
}
