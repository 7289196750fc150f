// Strength and shape as fractions 0.0..1.0 and as whole percent (slider positions and
// profile values). To percent multiplies by 100 and truncates toward zero, as the stored
// profiles have always been written: 0.29 and 0.58 therefore come back as 28 and 57, the
// only two positions of 0..100 that move. It saturates at the int32 range, so no damaged
// stored value can overflow the conversion. From percent takes the stored integer as
// unsigned, as the profile hands it over, times 0.01.
#pragma once

#include <cmath>
#include <cstdint>

inline int32_t FractionToPercent(double fraction) {
    double percent = std::trunc(fraction * 100.0);
    if (!(percent > INT32_MIN)) return INT32_MIN;  // also NaN
    if (percent > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(percent);
}

inline double FractionFromPercent(uint32_t stored) { return stored * 0.01; }
