#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <vector>

// An append-only array held in pieces of 2^kShift elements. Growing adds a
// piece and never moves what is held, so memory rises one piece at a time,
// with no moment where an old and a new copy live side by side. clear()
// keeps the pieces for the next fill: a curve that is cleared and grows
// again reuses the memory instead of handing it back and asking anew.
template <typename T, int kShift>
class ChunkedArray {
public:
    static constexpr qint64 kPiece = qint64(1) << kShift;

    void push_back(const T &value)
    {
        const std::size_t piece = std::size_t(count >> kShift);
        if (piece == pieces.size())
            pieces.emplace_back(new T[std::size_t(kPiece)]);
        pieces[piece][std::size_t(count & (kPiece - 1))] = value;
        ++count;
    }

    T &operator[](qint64 i) { return pieces[std::size_t(i >> kShift)][std::size_t(i & (kPiece - 1))]; }
    const T &operator[](qint64 i) const { return pieces[std::size_t(i >> kShift)][std::size_t(i & (kPiece - 1))]; }

    qint64 size() const { return count; }
    bool empty() const { return count == 0; }
    void clear() { count = 0; }
    // Drops everything past the first `n` elements, keeping the pieces.
    void truncate(qint64 n) { count = qMin(count, n); }

    // The elements [piece * kPiece, ...) of one piece, for passes over a run.
    const T *piece(qint64 index) const { return pieces[std::size_t(index)].get(); }

    std::size_t bytes() const
    {
        return pieces.size() * std::size_t(kPiece) * sizeof(T) + pieces.capacity() * sizeof(pieces[0]);
    }

private:
    std::vector<std::unique_ptr<T[]>> pieces;
    qint64 count = 0;
};
