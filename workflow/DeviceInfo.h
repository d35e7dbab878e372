#pragma once

#include <QString>
#include <QtGlobal>

#include <cstddef>

// The device's identification record: 52 bytes, little-endian.
struct DeviceInfo {
    static constexpr std::size_t kSize = 52;

    quint32 firmware_version = 0; // major in bits 31..24, minor in 23..16
    quint32 hardware_version = 0;
    quint32 manufacture_date = 0;
    quint32 manufacture_time = 0;
    quint32 mcuId[3] = {};
    quint8 reserved[8] = {}; // only logged, one byte a line
    quint16 pitch_angle[4] = {};
    quint16 blindare[2] = {};
    quint32 frequence = 0;

    // The one-line diagnostic text. Its patch number is the low byte of the
    // firmware version, unlike the version shown in the window.
    QString toString() const;
};

// False (and `out` untouched) when fewer than 52 bytes are there.
bool parseDeviceInfo(const quint8 *bytes, std::size_t len, DeviceInfo &out);
