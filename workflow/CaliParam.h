#pragma once

#include <QtGlobal>

#include <cstddef>

// The sensor's calibration parameters: 32 bytes, little-endian. The field
// names are those of the texts that show them.
struct CaliParam {
    static constexpr std::size_t kSize = 32;

    quint8 ck = 0;
    quint8 xtalk_cal = 0;
    quint8 MP_cal = 0;
    quint8 cg_cal = 0;
    qint16 offset_cal = 0;
    qint16 reftof = 0;
    quint32 xtalk_peak = 0;
    qint32 k = 0;
    qint32 pileup_1 = 0;
    qint32 pileup_2 = 0;
    qint32 pileup_3 = 0;
    qint32 masum = 0;
};

// False (and `out` untouched) when fewer than 32 bytes are there.
bool parseCaliParam(const quint8 *bytes, std::size_t len, CaliParam &out);
