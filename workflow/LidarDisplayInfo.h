#pragma once

#include <QMetaType>
#include <QtGlobal>

// The values shown for one measurement frame.
struct LidarDisplayInfo {
    qint16 distance = 0;
    quint8 confidence = 0;
    float average = 0;
    float standardDeviation = 0;
    quint16 noise = 0;
    quint32 peak = 0;
    qint16 reftof = 0;
};
Q_DECLARE_METATYPE(LidarDisplayInfo)
