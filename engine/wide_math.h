// Exact arithmetic past 64 bits for the line walker, on compilers with and without a
// 128-bit integer type (32-bit x86 has none).
#pragma once

#include <cstdint>

// floor((a * b + c) / d) for d > 0, when the quotient fits in 64 bits; the product and sum
// are formed in 128 bits, so nothing overflows on the way.
uint64_t MulAddDivFloor(uint64_t a, uint64_t b, uint64_t c, uint64_t d);
// The same without a 128-bit type, in 32-bit digits; what 32-bit builds use.
uint64_t MulAddDivFloorDigits(uint64_t a, uint64_t b, uint64_t c, uint64_t d);

// a - b, held at INT64_MIN or INT64_MAX when the true difference lies beyond them.
int64_t SaturatingSubtract(int64_t a, int64_t b);
