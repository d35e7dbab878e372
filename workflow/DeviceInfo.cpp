#include "workflow/DeviceInfo.h"

#include <QtEndian>

QString DeviceInfo::toString() const
{
    return QStringLiteral("firmware_version:v%1.%2.%3,hardware_version:%4,manufacture_date:%5,"
                          "manufacture_time:%6mcu id:%7,%8,%9frequence:%10,")
        .arg(firmware_version >> 24)
        .arg((firmware_version >> 16) & 0xFF)
        .arg(firmware_version & 0xFF)
        .arg(hardware_version)
        .arg(manufacture_date)
        .arg(manufacture_time)
        .arg(mcuId[0])
        .arg(mcuId[1])
        .arg(mcuId[2])
        .arg(frequence);
}

bool parseDeviceInfo(const quint8 *bytes, std::size_t len, DeviceInfo &out)
{
    if (!bytes || len < DeviceInfo::kSize)
        return false;
    out.firmware_version = qFromLittleEndian<quint32>(bytes + 0);
    out.hardware_version = qFromLittleEndian<quint32>(bytes + 4);
    out.manufacture_date = qFromLittleEndian<quint32>(bytes + 8);
    out.manufacture_time = qFromLittleEndian<quint32>(bytes + 12);
    for (int i = 0; i < 3; ++i)
        out.mcuId[i] = qFromLittleEndian<quint32>(bytes + 16 + 4 * i);
    for (int i = 0; i < 8; ++i)
        out.reserved[i] = bytes[28 + i];
    for (int i = 0; i < 4; ++i)
        out.pitch_angle[i] = qFromLittleEndian<quint16>(bytes + 36 + 2 * i);
    for (int i = 0; i < 2; ++i)
        out.blindare[i] = qFromLittleEndian<quint16>(bytes + 44 + 2 * i);
    out.frequence = qFromLittleEndian<quint32>(bytes + 48);
    return true;
}
