#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

// Two measurement cursors A and B on a plot's x axis, without the plot: where
// they are, which one a click moves, and the span between them. PlotCursors
// draws them; any widget can use this to answer the same questions.
class CursorPair {
public:
    enum class Cursor { A, B };

    bool has(Cursor c) const { return bool(slot(c)); }
    // Only for a cursor that is placed.
    double position(Cursor c) const { return *slot(c); }
    bool complete() const { return bool(a) && bool(b); }
    bool empty() const { return !a && !b; }

    // The click's cursor: the missing one (A before B), and once both are
    // placed, the nearer one (A on a tie). Moves it to `x` and returns it.
    Cursor place(double x);
    void set(Cursor c, double x);
    void remove(Cursor c);
    void clear();

    // The placed cursor nearest `x`, if any (A on a tie).
    std::optional<Cursor> nearest(double x) const;

    // Δx: B − A, once both are placed.
    std::optional<double> delta() const;
    // The smaller and the larger of the two positions, once both are placed.
    double low() const { return qMin(*a, *b); }
    double high() const { return qMax(*a, *b); }

    // The index of the key nearest `x` among `count` keys sorted ascending,
    // read through `keyAt` (O(log count)); -1 when there are none. Keys that
    // are NaN are not expected.
    static qint64 nearestKey(qint64 count, const std::function<double(qint64)> &keyAt, double x);

private:
    std::optional<double> &slot(Cursor c) { return c == Cursor::A ? a : b; }
    const std::optional<double> &slot(Cursor c) const { return c == Cursor::A ? a : b; }

    std::optional<double> a;
    std::optional<double> b;
};
