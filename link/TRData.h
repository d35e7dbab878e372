#pragma once

#include <QtGlobal>
#include <vector>

// One TRNet packet, outgoing or decoded. Owns its payload; copying copies it.
struct TRData {
    quint8 addr = 0;
    quint8 cmd = 0;
    quint16 offset = 0;
    std::vector<quint8> data;
};
