#include "engine/brush_kernel.h"

#include <cstring>

#include "engine/block_geometry.h"

namespace {

enum BrushMethod { kRaise = 1, kDig = 2, kFlatten = 3 };

int16_t Saturate(int32_t value) {
    if (value > INT16_MAX) return INT16_MAX;
    if (value < INT16_MIN) return INT16_MIN;
    return static_cast<int16_t>(value);
}

// The weighted step of raise and dig: at most 4 x 255 x 255 / 255 = 1020.
int32_t Step(int32_t strength, int32_t weight) { return (4 * strength * weight) / 255; }

}  // namespace

void CBrushKernel::Reset() {
    std::memset(stamp, 0, sizeof stamp);
    size = 1;
    method = 1;
    targetAltitude = 1000;
    strength = 255;
}

void CBrushKernel::Apply(int16_t* mapSamples, int16_t* strokeSamples) const {
    if (method != kRaise && method != kDig && method != kFlatten) return;
    for (int k = 0; k < kBlockSamples; ++k) {
        int32_t old = mapSamples[k];
        int32_t w = strokeSamples[k];
        strokeSamples[k] = static_cast<int16_t>(old);
        if (w <= 0) continue;
        int32_t result = old;
        if (method == kRaise) {
            result = old + Step(strength, w);
        } else if (method == kDig) {
            result = old - Step(strength, w);
            if (result < 0) result = 0;
        } else {
            int64_t blended = (static_cast<int64_t>(targetAltitude) * w + (255 - w) * static_cast<int64_t>(old)) / 255;
            result = static_cast<int32_t>(blended);
        }
        mapSamples[k] = Saturate(result);
    }
}
