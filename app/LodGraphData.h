#pragma once

#include <qcustomplot.h>

// The graph's point store, with a say over its capacity. The plain container
// lets its vector double when full, which for a curve of millions of points
// means up to 32 bytes held per 16-byte point; growing ahead in steps of an
// eighth keeps that near 18.
class LodGraphData : public QCPGraphDataContainer {
public:
    static constexpr int kMinHeadroom = 4096;

    // Points the store holds room for, used or not.
    int capacity() const { return mData.capacity(); }

    // Makes room for at least kMinHeadroom more appends before the vector
    // would have to grow by itself.
    void keepHeadroom()
    {
        if (mData.capacity() - mData.size() >= kMinHeadroom)
            return;
        mData.reserve(mData.size() + mData.size() / 8 + 2 * kMinHeadroom);
    }
};
