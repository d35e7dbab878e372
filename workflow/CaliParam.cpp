#include "workflow/CaliParam.h"

#include <QtEndian>

bool parseCaliParam(const quint8 *bytes, std::size_t len, CaliParam &out)
{
    if (!bytes || len < CaliParam::kSize)
        return false;
    out.ck = bytes[0];
    out.xtalk_cal = bytes[1];
    out.MP_cal = bytes[2];
    out.cg_cal = bytes[3];
    out.offset_cal = qFromLittleEndian<qint16>(bytes + 4);
    out.reftof = qFromLittleEndian<qint16>(bytes + 6);
    out.xtalk_peak = qFromLittleEndian<quint32>(bytes + 8);
    out.k = qFromLittleEndian<qint32>(bytes + 12);
    out.pileup_1 = qFromLittleEndian<qint32>(bytes + 16);
    out.pileup_2 = qFromLittleEndian<qint32>(bytes + 20);
    out.pileup_3 = qFromLittleEndian<qint32>(bytes + 24);
    out.masum = qFromLittleEndian<qint32>(bytes + 28);
    return true;
}
