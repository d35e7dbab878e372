#include "sim/DeviceRecords.h"

#include <QtEndian>

namespace DeviceRecords {

namespace {

constexpr quint32 kManufactureDate = 20240315;
constexpr quint32 kManufactureTime = 143005;
constexpr quint32 kFrequency = 4000;

template <typename T>
void put(std::vector<quint8> &out, size_t at, T value)
{
    qToLittleEndian<T>(value, out.data() + at);
}

std::vector<quint8> caliParams()
{
    std::vector<quint8> p(32, 0);
    p[0] = 1;   // ck
    p[1] = 1;   // xtalk_cal
    p[2] = 1;   // MP_cal
    p[3] = 0;   // cg_cal
    put<qint16>(p, 4, -10);
    put<qint16>(p, 6, 120);
    put<quint32>(p, 8, 1500);
    put<qint32>(p, 12, 1024);
    put<qint32>(p, 16, 310);
    put<qint32>(p, 20, -42);
    put<qint32>(p, 24, 7);
    put<qint32>(p, 28, 65000);
    return p;
}

} // namespace

std::vector<quint8> deviceInfo()
{
    std::vector<quint8> p(52, 0);
    put<quint32>(p, 0, kFirmwareVersion);
    put<quint32>(p, 4, kHardwareVersion);
    put<quint32>(p, 8, kManufactureDate);
    put<quint32>(p, 12, kManufactureTime);
    for (int i = 0; i < 3; ++i)
        put<quint32>(p, 16 + 4 * size_t(i), kMcuId[i]);
    for (int i = 0; i < 8; ++i)
        p[28 + size_t(i)] = quint8(0x10 + i);
    const quint16 angles[4] = {0, 90, 180, 270};
    for (int i = 0; i < 4; ++i)
        put<quint16>(p, 36 + 2 * size_t(i), angles[i]);
    put<quint16>(p, 44, 30);
    put<quint16>(p, 46, 50);
    put<quint32>(p, 48, kFrequency);
    return p;
}

std::vector<quint8> caliParamsWithBvd()
{
    std::vector<quint8> p = caliParams();
    p.push_back(kBvd);
    return p;
}

std::vector<quint8> paramCaliResult(bool accepted)
{
    std::vector<quint8> p {0x27, quint8(accepted ? 1 : 0)};
    const std::vector<quint8> params = caliParams();
    p.insert(p.end(), params.begin(), params.end());
    return p;
}

} // namespace DeviceRecords
