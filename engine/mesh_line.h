// The line of mesh points that a stroke stamps between two points, walked the way
// CMapEditor::PaintLine walks it: the major axis is the column when |dx| > |dy|, else the
// row (exact diagonals included); it moves every step, and the minor axis moves when the
// decision value D, starting at 2 minor - major, is >= 0. A line of n = max(|dx|, |dy|)
// steps has n + 1 points, both ends included.
//
// After t steps the minor axis has moved floor((2 minor t + major) / (2 major)) times, so
// any stretch of the line can be started without walking up to it.
#pragma once

#include <cstdint>

class MeshLine {
public:
    MeshLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1);

    int64_t Steps() const { return major_; }
    // First and last step whose point lies in the rectangle [left, right] x [top, bottom];
    // false when no point of the line does. The points inside form one stretch.
    bool StepsInside(int64_t left, int64_t right, int64_t top, int64_t bottom, int64_t* first, int64_t* last) const;
    // Calls visit(x, y) for the points of steps first..last in order.
    template <class Visit>
    void Walk(int64_t first, int64_t last, Visit visit) const;

private:
    int64_t MinorMoves(int64_t t) const;
    // Steps whose major (or minor) coordinate lies in [low, high]; empty when first > last.
    void MajorStretch(int64_t low, int64_t high, int64_t* first, int64_t* last) const;
    void MinorStretch(int64_t low, int64_t high, int64_t* first, int64_t* last) const;

    bool columnMajor_;
    int64_t major0_, minor0_;  // start point along each axis
    int64_t majorSign_, minorSign_;
    int64_t major_, minor_;    // distances along each axis
};

template <class Visit>
void MeshLine::Walk(int64_t first, int64_t last, Visit visit) const {
    int64_t moves = MinorMoves(first);
    int64_t a = major0_ + majorSign_ * first, b = minor0_ + minorSign_ * moves;
    // D after `first` steps; bounded by 2 (major + minor) however far the start lies, so
    // forming it modulo 2^64 gives it exactly even where the terms overflow.
    uint64_t twice = 2;
    int64_t d = static_cast<int64_t>(twice * static_cast<uint64_t>(minor_) * static_cast<uint64_t>(first + 1) -
                                     static_cast<uint64_t>(major_) -
                                     twice * static_cast<uint64_t>(major_) * static_cast<uint64_t>(moves));
    for (int64_t t = first; t <= last; ++t) {
        if (columnMajor_) visit(a, b); else visit(b, a);
        if (d >= 0) {
            b += minorSign_;
            d += 2 * (minor_ - major_);
        } else {
            d += 2 * minor_;
        }
        a += majorSign_;
    }
}
