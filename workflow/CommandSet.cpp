#include "workflow/CommandSet.h"

namespace CommandSet {

std::size_t minimumPayload(quint8 cmd)
{
    switch (cmd) {
    case kStart: return 19;
    case kAck: return 2;
    case kCaliParam: return 32;
    case kDeviceInfo: return 52;
    case kTiming: return 8;
    case kParamCali: return 34;
    case kRecord: return 11;
    default: return 0;
    }
}

bool isHandled(quint8 cmd)
{
    return minimumPayload(cmd) > 0;
}

QString shortPayloadLine(quint8 cmd, std::size_t len)
{
    return QStringLiteral("dropped frame 0x%1: payload of %2 bytes, %3 needed")
        .arg(cmd, 2, 16, QLatin1Char('0'))
        .arg(qulonglong(len))
        .arg(qulonglong(minimumPayload(cmd)));
}

} // namespace CommandSet
