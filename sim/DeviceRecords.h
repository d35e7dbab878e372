#pragma once

#include <QtGlobal>

#include <vector>

// The simulated sensor's fixed identity and calibration, as answer payloads.
namespace DeviceRecords {

constexpr quint32 kFirmwareVersion = 0x01030007; // shown as 1.3.7
constexpr quint32 kHardwareVersion = 2;
constexpr quint32 kMcuId[3] = {0x0033002B, 0x3538510C, 0x20363733};
constexpr quint8 kBvd = 0x5A;

// 52 bytes: versions, date, time, controller id, reserved, angles, blind area, frequency.
std::vector<quint8> deviceInfo();
// 32 bytes of calibration parameters followed by the bvd byte.
std::vector<quint8> caliParamsWithBvd();
// 34 bytes: the command code, ret (1 when `accepted`, else 0), the 32 parameter bytes.
std::vector<quint8> paramCaliResult(bool accepted);

} // namespace DeviceRecords
