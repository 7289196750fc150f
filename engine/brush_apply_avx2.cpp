// Apply's AVX2 form: 16 samples per step. Compiled with -mavx2, so nothing here may run
// unless CpuHasAvx2() said so; it includes no header with out-of-line code.
#include <immintrin.h>

#include "engine/brush_lanes_impl.h"

namespace {
ZOLVA_LANE_OPERATIONS(Avx2Lanes, 256, 256);
}  // namespace

void ApplyWithAvx2(const ApplyParams& params, int16_t* mapSamples, int16_t* strokeSamples, int count) {
    ApplyLanes<Avx2Lanes>(params, mapSamples, strokeSamples, count);
}
