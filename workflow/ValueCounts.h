#pragma once

#include <QtGlobal>

#include <vector>

// How often each 16-bit value occurs, as a Fenwick tree over all 65,536 of
// them: adding, removing, counting the values below a bound and finding the
// k-th smallest each take 16 steps, whatever the number of values held.
class ValueCounts {
public:
    ValueCounts();

    void add(qint16 value) { change(value, 1); }
    void remove(qint16 value) { change(value, -1); }
    qint64 total() const { return count; }
    // How many held values are below `bound` (-32768 .. 32768).
    qint64 countBelow(int bound) const;
    // The k-th smallest held value, k from 0; k must be below total().
    qint16 kth(qint64 k) const;

private:
    static constexpr int kSize = 65536;
    void change(qint16 value, qint32 delta);

    std::vector<quint32> tree; // 1-based; a value v sits at v + 32769
    qint64 count = 0;
};
