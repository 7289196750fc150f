#include "engine/brush_kernel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "engine/block_geometry.h"
#include "engine/map_editor.h"

namespace {

enum BrushMethod { kRaise = 1, kDig = 2, kFlatten = 3 };

int16_t Saturate(int32_t value) {
    if (value > INT16_MAX) return INT16_MAX;
    if (value < INT16_MIN) return INT16_MIN;
    return static_cast<int16_t>(value);
}

// The weighted step of raise and dig: at most 4 x 255 x 255 / 255 = 1020.
int32_t Step(int32_t strength, int32_t weight) { return (4 * strength * weight) / 255; }

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
            int16_t* samples = editor.FindOrCreateStrokeBlock(code);
            if (samples != nullptr) {
                for (int64_t c = column; c <= runEnd; ++c, ++index) {
                    int16_t w = weights[c - first];
                    if (samples[index] < w) samples[index] = w;
                }
            }
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
