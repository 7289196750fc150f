#include "engine/wide_math.h"

#include <climits>

namespace {

const uint64_t kLow32 = 0xFFFFFFFFull;

// High and low 64-bit halves of a * b.
void Multiply(uint64_t a, uint64_t b, uint64_t* high, uint64_t* low) {
    uint64_t a0 = a & kLow32, a1 = a >> 32, b0 = b & kLow32, b1 = b >> 32;
    uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    uint64_t middle = (p00 >> 32) + (p01 & kLow32) + (p10 & kLow32);
    *low = (middle << 32) | (p00 & kLow32);
    *high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
}

int LeadingZeros(uint64_t value) {
    int count = 0;
    for (uint64_t bit = 1ull << 63; bit != 0 && (value & bit) == 0; bit >>= 1) ++count;
    return count;
}

// (high:low) / divisor for high < divisor: long division in two 32-bit quotient digits
// with a normalised divisor, each digit estimated from the top digits and corrected at
// most twice.
uint64_t Divide(uint64_t high, uint64_t low, uint64_t divisor) {
    int shift = LeadingZeros(divisor);
    divisor <<= shift;
    uint64_t numeratorHigh = shift == 0 ? high : (high << shift) | (low >> (64 - shift));
    uint64_t numeratorLow = low << shift;
    uint64_t d1 = divisor >> 32, d0 = divisor & kLow32;
    uint64_t n1 = numeratorLow >> 32, n0 = numeratorLow & kLow32;

    uint64_t q1 = numeratorHigh / d1, r = numeratorHigh - q1 * d1;
    while (q1 > kLow32 || q1 * d0 > ((r << 32) | n1)) {
        --q1;
        r += d1;
        if (r > kLow32) break;
    }
    uint64_t remainder = ((numeratorHigh << 32) | n1) - q1 * divisor;

    uint64_t q0 = remainder / d1;
    r = remainder - q0 * d1;
    while (q0 > kLow32 || q0 * d0 > ((r << 32) | n0)) {
        --q0;
        r += d1;
        if (r > kLow32) break;
    }
    return (q1 << 32) | q0;
}

}  // namespace

uint64_t MulAddDivFloorDigits(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    uint64_t high = 0, low = 0;
    Multiply(a, b, &high, &low);
    low += c;
    if (low < c) ++high;
    // Whole multiples of d in the high half would overflow the quotient; the callers never
    // have any, but reduce them so the division's precondition holds regardless.
    high %= d;
    return Divide(high, low, d);
}

uint64_t MulAddDivFloor(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
#if defined(__SIZEOF_INT128__)
    unsigned __int128 sum = static_cast<unsigned __int128>(a) * b + c;
    return static_cast<uint64_t>(sum / d);
#else
    return MulAddDivFloorDigits(a, b, c, d);
#endif
}

int64_t SaturatingSubtract(int64_t a, int64_t b) {
    int64_t difference = 0;
    if (!__builtin_sub_overflow(a, b, &difference)) return difference;
    return b < 0 ? INT64_MAX : INT64_MIN;
}
