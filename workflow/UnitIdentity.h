#pragma once

#include "workflow/CaliParam.h"
#include "workflow/DeviceInfo.h"

#include <QString>
#include <QtGlobal>

// A sensor as it identifies itself: who it is, what it runs, how it was
// calibrated. What an accuracy run records of its unit and what the
// command-line tool's `info` prints.
struct UnitIdentity {
    // The three controller-id words, 8 lower-case hexadecimal digits each
    // (leading zeros kept, so two units never read alike).
    QString unitId;
    QString firmware;       // "major.minor.patch", as the window shows it
    quint32 hardware = 0;
    CaliParam calibration;
    quint8 bvd = 0;         // the calibration answer's last byte
};

// The id as above; the window's own id text drops the leading zeros.
QString unitIdText(const DeviceInfo &info);
