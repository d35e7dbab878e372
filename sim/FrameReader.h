#pragma once

#include "link/TRCodec.h"
#include "link/TRData.h"

#include <QByteArray>

#include <vector>

// Cuts the host's byte stream into checked packets. Noise is stepped over;
// the bytes after the last frame found are kept for the next call, but never
// more than kMaxKept of them.
class FrameReader {
public:
    static constexpr int kMaxKept = int(TRCodec::kMaxFrame);

    // Appends `bytes` and returns every frame that is now complete, in order.
    std::vector<TRData> feed(const QByteArray &bytes);
    int buffered() const { return buffer.size(); }

private:
    QByteArray buffer;
};
