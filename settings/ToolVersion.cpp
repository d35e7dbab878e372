#include "settings/ToolVersion.h"

namespace ToolVersion {

QString text()
{
    return QStringLiteral(LIDAR_TOOL_VERSION);
}

} // namespace ToolVersion
