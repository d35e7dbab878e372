#pragma once

#include <QtGlobal>

// Running totals of what arrived on the link. Only ever grow; a reader that
// wants counts since some moment keeps a copy from then and subtracts.
struct LinkCounters {
    quint64 bytes = 0;         // received
    quint64 frames = 0;        // checked and published
    quint64 badChecksums = 0;  // complete frames stepped over for a wrong checksum
    quint64 skippedBytes = 0;  // stepped over: noise and damaged frames
    quint64 shortPayloads = 0; // published, but too short for their handler

    LinkCounters operator-(const LinkCounters &o) const
    {
        return {bytes - o.bytes, frames - o.frames, badChecksums - o.badChecksums,
                skippedBytes - o.skippedBytes, shortPayloads - o.shortPayloads};
    }
    bool operator==(const LinkCounters &o) const
    {
        return bytes == o.bytes && frames == o.frames && badChecksums == o.badChecksums
            && skippedBytes == o.skippedBytes && shortPayloads == o.shortPayloads;
    }
};
