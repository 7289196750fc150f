#include "engine/mesh_line.h"

#include <algorithm>

#include "engine/wide_math.h"

MeshLine::MeshLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
    int64_t dy = y1 > y0 ? y1 - y0 : y0 - y1;
    int64_t sx = x0 > x1 ? -1 : 1;
    int64_t sy = y0 > y1 ? -1 : 1;
    columnMajor_ = dx > dy;
    major0_ = columnMajor_ ? x0 : y0;
    minor0_ = columnMajor_ ? y0 : x0;
    majorSign_ = columnMajor_ ? sx : sy;
    minorSign_ = columnMajor_ ? sy : sx;
    major_ = columnMajor_ ? dx : dy;
    minor_ = columnMajor_ ? dy : dx;
}

int64_t MeshLine::MinorMoves(int64_t t) const {
    if (major_ == 0) return 0;
    // t and both distances are never negative here.
    uint64_t major = static_cast<uint64_t>(major_);
    return static_cast<int64_t>(MulAddDivFloor(2 * static_cast<uint64_t>(minor_), static_cast<uint64_t>(t), major, 2 * major));
}

// Coordinate major0 + sign t within [low, high]: t within [low - major0, high - major0],
// or mirrored for a negative sign, then cut to 0..Steps().
void MeshLine::MajorStretch(int64_t low, int64_t high, int64_t* first, int64_t* last) const {
    // Differences beyond 64 bits are held at the ends, which the cut to 0..Steps() absorbs.
    int64_t from = majorSign_ > 0 ? SaturatingSubtract(low, major0_) : SaturatingSubtract(major0_, high);
    int64_t to = majorSign_ > 0 ? SaturatingSubtract(high, major0_) : SaturatingSubtract(major0_, low);
    *first = std::max<int64_t>(from, 0);
    *last = std::min<int64_t>(to, major_);
}

// The minor coordinate only grows away from minor0 as t grows, so the steps where it lies
// in [low, high] are found by two binary searches over the moves made by step t.
void MeshLine::MinorStretch(int64_t low, int64_t high, int64_t* first, int64_t* last) const {
    // Moves lie in 0..Steps(), so differences held at the 64-bit ends compare the same.
    int64_t fewest = minorSign_ > 0 ? SaturatingSubtract(low, minor0_) : SaturatingSubtract(minor0_, high);
    int64_t most = minorSign_ > 0 ? SaturatingSubtract(high, minor0_) : SaturatingSubtract(minor0_, low);
    int64_t lo = 0, hi = major_ + 1;  // first step with at least `fewest` moves, or Steps() + 1
    while (lo < hi) {
        int64_t mid = lo + (hi - lo) / 2;
        if (MinorMoves(mid) >= fewest) hi = mid; else lo = mid + 1;
    }
    *first = lo;
    lo = -1;
    hi = major_;  // last step with at most `most` moves, or -1
    while (lo < hi) {
        int64_t mid = hi - (hi - lo) / 2;
        if (MinorMoves(mid) <= most) lo = mid; else hi = mid - 1;
    }
    *last = lo;
}

bool MeshLine::StepsInside(int64_t left, int64_t right, int64_t top, int64_t bottom, int64_t* first,
                           int64_t* last) const {
    int64_t majorFirst = 0, majorLast = 0, minorFirst = 0, minorLast = 0;
    MajorStretch(columnMajor_ ? left : top, columnMajor_ ? right : bottom, &majorFirst, &majorLast);
    MinorStretch(columnMajor_ ? top : left, columnMajor_ ? bottom : right, &minorFirst, &minorLast);
    *first = std::max(majorFirst, minorFirst);
    *last = std::min(majorLast, minorLast);
    return *first <= *last;
}
