#include "testrun/RunOrigin.h"

#include <QSysInfo>

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
    return QString();
}

QString toolVersion()
{
    return QStringLiteral(LIDAR_TOOL_VERSION);
}

} // namespace RunOrigin
