// Apply's SSE2 form: 8 samples per step.
#include <emmintrin.h>

#include "engine/brush_lanes_impl.h"

namespace {
ZOLVA_LANE_OPERATIONS(Sse2Lanes, , 128);
}  // namespace

void ApplyWithSse2(const ApplyParams& params, int16_t* mapSamples, int16_t* strokeSamples, int count) {
    ApplyLanes<Sse2Lanes>(params, mapSamples, strokeSamples, count);
}
