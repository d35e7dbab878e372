#pragma once

#include "link/FrameScanner.h"
#include "link/TRData.h"

#include <QByteArray>

#include <vector>

// Cuts the host's byte stream into checked packets, as the tool's own
// endpoint does: noise is stepped over and the bytes kept are bounded.
class FrameReader {
public:
    // Appends `bytes` and returns every frame that is now complete, in order.
    std::vector<TRData> feed(const QByteArray &bytes);
    int buffered() const { return scanner.bufferedBytes(); }

private:
    FrameScanner scanner;
    TRData packet;
};
