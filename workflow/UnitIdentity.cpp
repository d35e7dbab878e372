#include "workflow/UnitIdentity.h"

QString unitIdText(const DeviceInfo &info)
{
    QString id;
    for (quint32 word : info.mcuId)
        id += QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0'));
    return id;
}
