#pragma once

#include "workflow/CaliParam.h"
#include "workflow/DeviceInfo.h"
#include "workflow/LidarDisplayInfo.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>

// What an answer of the device gives: lines for the debug output and the
// text that replaces the message view.
struct DeviceAnswer {
    QStringList debugLines;
    QString viewText;
};

namespace WorkflowTexts {

// The eight-line measurement text of the message view.
QString measurementText(const LidarDisplayInfo &info, quint16 frameRate);

QString caliParamText(const CaliParam &param, quint8 bvd);
QString caliResultText(const CaliParam &param);
// major.minor.patch with the patch from the low 16 bits.
QString firmwareVersionText(quint32 version);
// The three words in lower-case hex without leading zeros, run together.
QString mcuIdText(const DeviceInfo &info);
QString deviceInfoText(const DeviceInfo &info);

QString ackLine(quint8 code, quint8 result);
QString timingLine(qint32 first, qint32 second);
// Each byte in lower-case hex without leading zeros, run together.
QString hexRecordLine(const quint8 *bytes, std::size_t len);

// Answers 0x12, 0x27 and 0x14; nothing when the payload is too short.
std::optional<DeviceAnswer> caliParamAnswer(const quint8 *payload, std::size_t len);
std::optional<DeviceAnswer> caliResultAnswer(const quint8 *payload, std::size_t len);
std::optional<DeviceAnswer> deviceInfoAnswer(const quint8 *payload, std::size_t len);

} // namespace WorkflowTexts
