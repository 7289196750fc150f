#include "engine/mesh_line.h"

#include <algorithm>

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
    __int128 twiceMajor = static_cast<__int128>(2) * major_;
    return static_cast<int64_t>((static_cast<__int128>(2) * minor_ * t + major_) / twiceMajor);
}

// Coordinate major0 + sign t within [low, high]: t within [low - major0, high - major0],
// or mirrored for a negative sign, then cut to 0..Steps().
void MeshLine::MajorStretch(int64_t low, int64_t high, int64_t* first, int64_t* last) const {
    __int128 from = majorSign_ > 0 ? static_cast<__int128>(low) - major0_ : static_cast<__int128>(major0_) - high;
    __int128 to = majorSign_ > 0 ? static_cast<__int128>(high) - major0_ : static_cast<__int128>(major0_) - low;
    *first = static_cast<int64_t>(std::max<__int128>(from, 0));
    *last = static_cast<int64_t>(std::min<__int128>(to, major_));
}

// The minor coordinate only grows away from minor0 as t grows, so the steps where it lies
// in [low, high] are found by two binary searches over the moves made by step t.
void MeshLine::MinorStretch(int64_t low, int64_t high, int64_t* first, int64_t* last) const {
    __int128 fewest = minorSign_ > 0 ? static_cast<__int128>(low) - minor0_ : static_cast<__int128>(minor0_) - high;
    __int128 most = minorSign_ > 0 ? static_cast<__int128>(high) - minor0_ : static_cast<__int128>(minor0_) - low;
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
