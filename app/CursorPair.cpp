#include "app/CursorPair.h"

#include <cmath>

CursorPair::Cursor CursorPair::place(double x)
{
    Cursor c = Cursor::A;
    if (a && !b)
        c = Cursor::B;
    else if (a && b)
        c = *nearest(x);
    set(c, x);
    return c;
}

void CursorPair::set(Cursor c, double x)
{
    slot(c) = x;
}

void CursorPair::remove(Cursor c)
{
    slot(c).reset();
}

void CursorPair::clear()
{
    a.reset();
    b.reset();
}

std::optional<CursorPair::Cursor> CursorPair::nearest(double x) const
{
    if (!a && !b)
        return std::nullopt;
    if (!b)
        return Cursor::A;
    if (!a)
        return Cursor::B;
    return std::fabs(*b - x) < std::fabs(*a - x) ? Cursor::B : Cursor::A;
}

std::optional<double> CursorPair::delta() const
{
    if (!complete())
        return std::nullopt;
    return *b - *a;
}

qint64 CursorPair::nearestKey(qint64 count, const std::function<double(qint64)> &keyAt, double x)
{
    if (count <= 0)
        return -1;
    qint64 lo = 0, hi = count;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (keyAt(mid) < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == count)
        return count - 1;
    if (lo > 0 && x - keyAt(lo - 1) <= keyAt(lo) - x)
        return lo - 1;
    return lo;
}
