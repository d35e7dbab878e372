#include "testrun/RunOrigin.h"

#include <QSysInfo>

// LIDAR_NO_POSIX builds the branch other systems get, so that it is compiled
// and checked here too.
#if defined(Q_OS_UNIX) && !defined(LIDAR_NO_POSIX)
#define LIDAR_POSIX_ACCOUNTS
#include <pwd.h>
#include <unistd.h>
#endif

namespace RunOrigin {

QString hostName()
{
    return QSysInfo::machineHostName();
}

QString operatorName()
{
    for (const char *name : {"USER", "LOGNAME", "USERNAME"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value;
    }
#ifdef LIDAR_POSIX_ACCOUNTS
    // A service or a cron job may run without those variables.
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
#endif
    return QString();
}

// Defined for the library by its build; the other-systems check compiles
// this file without it.
#ifndef LIDAR_TOOL_VERSION
#define LIDAR_TOOL_VERSION ""
#endif

QString toolVersion()
{
    return QStringLiteral(LIDAR_TOOL_VERSION);
}

} // namespace RunOrigin
