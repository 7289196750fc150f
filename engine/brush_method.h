// Brush method codes: the palette's method buttons in order, the profile's
// "BrushMethod" value and the kernel's method. Scroll leaves the map to the
// host; the other three change the terrain.
#pragma once

#include <cstdint>

const int32_t kMethodScroll = 0;
const int32_t kMethodRaise = 1;
const int32_t kMethodDig = 2;
// Toward the palette's altitude.
const int32_t kMethodFlatten = 3;

// Whether a method changes the terrain. Any other code (a damaged profile value, say)
// paints nothing.
inline bool IsPaintingMethod(int32_t method) { return method >= kMethodRaise && method <= kMethodFlatten; }
