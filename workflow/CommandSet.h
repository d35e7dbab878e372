#pragma once

#include <QString>
#include <QtGlobal>

#include <cstddef>

// The command codes the main window speaks with the sensor (address 0).
namespace CommandSet {

constexpr quint8 kStart = 0x02; // sent: start; received: a measurement frame
constexpr quint8 kOriginalData = 0x03;
constexpr quint8 kStop = 0x0F;
constexpr quint8 kAck = 0x10;
constexpr quint8 kCaliParam = 0x12;
constexpr quint8 kDeviceInfo = 0x14;
constexpr quint8 kTiming = 0x24;
constexpr quint8 kParamCali = 0x27;
constexpr quint8 kRecord = 0x28;

// Payload bytes the handler of a received code reads; 0 for codes that are
// not handled at all.
std::size_t minimumPayload(quint8 cmd);
bool isHandled(quint8 cmd);

// The one diagnostic line for a handled frame dropped as too short.
QString shortPayloadLine(quint8 cmd, std::size_t len);

} // namespace CommandSet
