// Strength and shape as fractions 0.0..1.0 and as whole percent (slider positions and
// profile values). To percent rounds to the nearest and saturates at the int32 range, so
// every position 0..100 survives a round trip (0.29 x 100 is 28.999..., which truncation
// would turn into 28) and no stored value can overflow the conversion. From percent
// takes the stored integer as unsigned, as the profile hands it over, times 0.01.
#pragma once

#include <cmath>
#include <cstdint>

inline int32_t FractionToPercent(double fraction) {
    double percent = std::round(fraction * 100.0);
    if (!(percent > INT32_MIN)) return INT32_MIN;  // also NaN
    if (percent > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(percent);
}

inline double FractionFromPercent(uint32_t stored) { return stored * 0.01; }
