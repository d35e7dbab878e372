#include "workflow/MeasurementPoint.h"

#include <QtEndian>

bool parseMeasurementPoint(const quint8 *bytes, std::size_t len, MeasurementPoint &out)
{
    if (!bytes || len < MeasurementPoint::kSize)
        return false;
    out.distance = qFromLittleEndian<qint16>(bytes + 0);
    out.noise = qFromLittleEndian<quint16>(bytes + 2);
    out.peak = qFromLittleEndian<quint32>(bytes + 4);
    out.confidence = bytes[8];
    out.reftof = qFromLittleEndian<qint16>(bytes + 13);
    return true;
}
