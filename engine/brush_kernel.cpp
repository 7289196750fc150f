#include "engine/brush_kernel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "engine/block_geometry.h"
#include "engine/brush_lanes.h"
#include "engine/brush_method.h"
#include "engine/map_editor.h"

namespace {


int16_t Saturate(int32_t value) {
    if (value > INT16_MAX) return INT16_MAX;
    if (value < INT16_MIN) return INT16_MIN;
    return static_cast<int16_t>(value);
}

}  // namespace

// The reciprocal is nudged up by 2^-50 relative, more than the product's rounding, so
// n x r never falls below |n| / 255 and stays well short of the next integer.
int32_t DivideBy255(int32_t n) {
    const double kReciprocal = (1.0 / 255.0) * (1.0 + 0x1p-50);
    return static_cast<int32_t>(static_cast<double>(n) * kReciprocal);
}

namespace {

// The weighted step of raise and dig, 4 S w / 255: at most 4 x 255 x 255 / 255 = 1020.
// Stroke weights come from the byte stamp, so w is at most 255 and the numerator at most
// 260 100, where this shift form of the division by 255 is exact and vectorises.
int32_t Step(int32_t strength, int32_t weight) {
    int32_t n = 4 * strength * std::min(weight, 255) + 1;
    int32_t scaled = n * 257;
    return (scaled + (scaled >> 16)) >> 16;
}

// Branch-free so the compiler can vectorise: an untouched sample (w <= 0) gets a step
// of 0 and keeps its value.
void ApplyRaise(int16_t* map, int16_t* stroke, int32_t strength, int count) {
    for (int k = 0; k < count; ++k) {
        int32_t old = map[k];
        int32_t w = std::max<int32_t>(stroke[k], 0);
        stroke[k] = static_cast<int16_t>(old);
        map[k] = static_cast<int16_t>(std::min<int32_t>(old + Step(strength, w), INT16_MAX));
    }
}

void ApplyDig(int16_t* map, int16_t* stroke, int32_t strength, int count) {
    for (int k = 0; k < count; ++k) {
        int32_t old = map[k];
        int32_t w = stroke[k];
        int32_t dug = std::max(old - Step(strength, std::max(w, 0)), 0);
        stroke[k] = static_cast<int16_t>(old);
        map[k] = static_cast<int16_t>(w > 0 ? dug : old);
    }
}

// (A w + (255 - w) old) / 255 fits in 32 bits while |A| stays below this.
const int32_t kNarrowTargetLimit = 8000000;

void ApplyFlatten(int16_t* map, int16_t* stroke, int32_t target, int count) {
    bool narrow = target > -kNarrowTargetLimit && target < kNarrowTargetLimit;
    for (int k = 0; k < count; ++k) {
        int32_t old = map[k];
        int32_t w = stroke[k];
        stroke[k] = static_cast<int16_t>(old);
        if (w <= 0) continue;
        int64_t blended = narrow ? DivideBy255(target * w + (255 - w) * old)
                                 : (static_cast<int64_t>(target) * w + (255 - w) * static_cast<int64_t>(old)) / 255;
        map[k] = Saturate(static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(blended, INT32_MAX), INT32_MIN)));
    }
}

// Weight of a cell at distance `dist` from the centre: 255 at the centre, 1 + floor(255 v)
// inside (computed as 1 minus the truncation of -255 v), 0 from the radius on.
uint8_t Weight(double dist, int size, double e) {
    if (static_cast<int>(dist) > size - 1) return 0;
    if (dist == 0.0) return 255;
    double v = e <= 0.0 ? 1.0 : 1.0 - std::pow(dist / size, 1.0 / e);
    int weight = 1 - static_cast<int>(-255.0 * v);
    return static_cast<uint8_t>(std::min(weight, 255));
}

// Merges one row of the stamp window, [first, last] columns, into the stroke blocks,
// finding the stroke block once per run of cells that share a block.
void StampRow(CMapEditor& editor, const uint8_t* weights, int64_t row, int64_t first, int64_t last) {
    int64_t column = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, kMaxMeshColumns - 1);
    while (column <= last) {
        int64_t runEnd = std::min<int64_t>(last, (column / kBlockSide + 1) * kBlockSide - 1);
        int32_t code = 0, index = 0;
        if (LocateSample(column, row, &code, &index)) {
            int32_t firstInBlock = index % kBlockSide;
            int32_t lastInBlock = firstInBlock + static_cast<int32_t>(runEnd - column);
            int16_t* samples = editor.FindOrCreateStampedBlock(code, index / kBlockSide, firstInBlock, lastInBlock);
            if (samples == nullptr) {
                // Memory is short: only this cell is skipped, and the next one asks again.
                ++column;
                continue;
            }
            // Every cell is stored, changed or not, so the loop vectorises.
            int16_t* cells = samples + index;
            const uint8_t* runWeights = weights + (column - first);
            const int count = static_cast<int>(runEnd - column + 1);
            for (int k = 0; k < count; ++k) cells[k] = std::max<int16_t>(cells[k], runWeights[k]);
        }
        column = runEnd + 1;
    }
}

}  // namespace

void CBrushKernel::Reset() {
    std::memset(stamp, 0, sizeof stamp);
    size = 1;
    method = 1;
    targetAltitude = 1000;
    strength = 255;
}

void FlattenPlain(int16_t* mapSamples, int16_t* strokeSamples, int32_t target, int count) {
    ApplyFlatten(mapSamples, strokeSamples, target, count);
}

bool LanesHandle(const ApplyParams& params) {
    if (params.method < kMethodRaise || params.method > kMethodFlatten) return false;
    if (params.strength < 0 || params.strength > 255) return false;
    return params.method != kMethodFlatten || (params.target >= INT16_MIN && params.target <= INT16_MAX);
}

// Asked once: the answer includes whether the system saves the wide registers.
bool CpuHasAvx2() {
    static const bool kHas = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return kHas;
}

void CBrushKernel::Apply(int16_t* mapSamples, int16_t* strokeSamples) const {
    ApplySpan(mapSamples, strokeSamples, kBlockSamples);
}

// The vector forms where they are exact for these parameters, else the plain one.
void CBrushKernel::ApplySpan(int16_t* mapSamples, int16_t* strokeSamples, int count) const {
    const ApplyParams params{method, strength, targetAltitude};
    if (!LanesHandle(params)) {
        ApplyPlain(mapSamples, strokeSamples, count);
    } else if (CpuHasAvx2()) {
        ApplyWithAvx2(params, mapSamples, strokeSamples, count);
    } else {
        ApplyWithSse2(params, mapSamples, strokeSamples, count);
    }
}

// Outside the box every stroke sample is 0, where Apply only copies the map sample into
// the undo copy; the box's columns widen to whole spans of kApplyGrain samples.
void CBrushKernel::ApplyWithin(int16_t* mapSamples, int16_t* strokeSamples, const SampleBox& box) const {
    if (method < kMethodRaise || method > kMethodFlatten) return;
    if (box.IsEmpty()) {
        std::memcpy(strokeSamples, mapSamples, kBlockBytes);
        return;
    }
    const int first = box.firstColumn / kApplyGrain * kApplyGrain;
    const int end = (box.lastColumn / kApplyGrain + 1) * kApplyGrain;
    std::memcpy(strokeSamples, mapSamples, sizeof(int16_t) * box.firstRow * kBlockSide);
    for (int row = box.firstRow; row <= box.lastRow; ++row) {
        int16_t* map = mapSamples + row * kBlockSide;
        int16_t* stroke = strokeSamples + row * kBlockSide;
        std::memcpy(stroke, map, sizeof(int16_t) * first);
        ApplySpan(map + first, stroke + first, end - first);
        std::memcpy(stroke + end, map + end, sizeof(int16_t) * (kBlockSide - end));
    }
    const int after = (box.lastRow + 1) * kBlockSide;
    std::memcpy(strokeSamples + after, mapSamples + after, sizeof(int16_t) * (kBlockSamples - after));
}

// One pass per method so the loop carries no method test; divisions are by the constant
// 255 and stay in 32 bits where the flatten target allows it.
void CBrushKernel::ApplyPlain(int16_t* mapSamples, int16_t* strokeSamples, int count) const {
    switch (method) {
    case kMethodRaise:
        ApplyRaise(mapSamples, strokeSamples, strength, count);
        return;
    case kMethodDig:
        ApplyDig(mapSamples, strokeSamples, strength, count);
        return;
    case kMethodFlatten:
        ApplyFlatten(mapSamples, strokeSamples, targetAltitude, count);
        return;
    default:
        return;
    }
}

int CBrushKernel::Build(int newSize, int newMethod, int altitude, double newStrength, double shape) {
    Reset();
    int radius = std::min(std::max(newSize, kMinBrushSize), kMaxBrushSize);
    double e = 1.0 - shape;
    for (int i = 0; i < kStampSide; ++i) {
        for (int j = 0; j < kStampSide; ++j) {
            stamp[i][j] = Weight(std::hypot(i - kStampCentre, j - kStampCentre), radius, e);
        }
    }
    size = radius;
    method = newMethod;
    targetAltitude = altitude < INT_MAX ? altitude + 1 : INT_MAX;
    // A strength outside 0..1 (a damaged profile) would overflow the weighted step.
    strength = static_cast<int32_t>(std::min(std::max(newStrength, 0.0), 1.0) * 255.0);
    return 1;
}

void CBrushKernel::Stamp(CMapEditor& editor, int64_t column, int64_t row) const {
    int d = size - 1;
    for (int64_t i = row - d; i <= row + d; ++i) {
        if (i < 0 || i >= kMaxMeshRows) continue;
        const uint8_t* weights = &stamp[kStampCentre + (i - row)][kStampCentre - d];
        StampRow(editor, weights, i, column - d, column + d);
    }
}
