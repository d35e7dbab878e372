#pragma once

#include <QtGlobal>

#include <cstddef>

// One point of a measurement frame: 15 bytes on the wire, little-endian.
struct MeasurementPoint {
    static constexpr std::size_t kSize = 15;

    qint16 distance = 0;
    quint16 noise = 0;
    quint32 peak = 0;
    quint8 confidence = 0;
    qint16 reftof = 0;
};

// Reads one point from `bytes`; false (and `out` untouched) when fewer than
// 15 bytes are there. Reads byte-wise: points sit at odd offsets.
bool parseMeasurementPoint(const quint8 *bytes, std::size_t len, MeasurementPoint &out);
