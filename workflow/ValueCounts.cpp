#include "workflow/ValueCounts.h"

ValueCounts::ValueCounts()
    : tree(kSize + 1, 0)
{
}

void ValueCounts::change(qint16 value, qint32 delta)
{
    for (int i = int(value) + 32769; i <= kSize; i += i & -i)
        tree[std::size_t(i)] += quint32(delta);
    count += delta;
}

qint64 ValueCounts::countBelow(int bound) const
{
    qint64 sum = 0;
    for (int i = qBound(0, bound + 32768, kSize); i > 0; i -= i & -i)
        sum += tree[std::size_t(i)];
    return sum;
}

qint16 ValueCounts::kth(qint64 k) const
{
    int position = 0;
    for (int step = kSize; step > 0; step >>= 1) {
        const int next = position + step;
        if (next <= kSize && qint64(tree[std::size_t(next)]) <= k) {
            position = next;
            k -= tree[std::size_t(next)];
        }
    }
    return qint16(position - 32768);
}
