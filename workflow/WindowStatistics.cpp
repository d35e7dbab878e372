#include "workflow/WindowStatistics.h"

#include <cmath>

void WindowStatistics::add(qint16 value, bool blanked)
{
    values.add(value);
    sum += value;
    sumOfSquares += qint64(value) * value;
    blankedCount += blanked ? 1 : 0;
}

void WindowStatistics::remove(qint16 value, bool blanked)
{
    values.remove(value);
    sum -= value;
    sumOfSquares -= qint64(value) * value;
    blankedCount -= blanked ? 1 : 0;
}

StatisticsSummary WindowStatistics::summary() const
{
    StatisticsSummary s;
    const qint64 n = values.total();
    s.count = n;
    if (n == 0)
        return s;
    s.mean = double(sum) / double(n);
    if (n > 1) {
        // n * sum(x^2) - (sum x)^2, exact in 128 bits.
        __extension__ using Wide = __int128;
        const Wide spread = Wide(n) * sumOfSquares - Wide(sum) * sum;
        s.stdDev = double(std::sqrt((long double)spread / ((long double)n * (long double)(n - 1))));
    }
    s.minimum = values.kth(0);
    s.maximum = values.kth(n - 1);
    s.peakToPeak = s.maximum - s.minimum;
    s.median = n % 2 ? double(values.kth(n / 2)) : (double(values.kth(n / 2 - 1)) + values.kth(n / 2)) / 2.0;
    s.blankedShare = double(blankedCount) / double(n);
    return s;
}
