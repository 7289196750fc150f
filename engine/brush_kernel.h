// The brush: a 65 x 65 table of byte weights (a disc centred on cell 32, 32) and the
// parameters of the current stroke. Weights: 0 outside the brush, 1..255 inside.
// Size is a radius in samples (1..32); strength is 0..255; the target altitude is the
// flatten altitude in metres plus one.
#pragma once

#include <cstdint>

#include "engine/block_geometry.h"
#include "engine/brush_method.h"
#include "engine/map_block.h"

class CMapEditor;

const int kMinBrushSize = 1;
const int kMaxBrushSize = 32;
const int kStampSide = 65;
const int kStampCentre = 32;
// Apply's spans are whole multiples of this many samples (a block row holds 20).
const int kApplyGrain = 16;

class CBrushKernel {
public:
    CBrushKernel() { Reset(); }

    // Every weight 0, size 1, raise, target altitude 1000, full strength.
    void Reset();
    // Changes one block's map samples by the method where the stroke samples are
    // positive (weights 1..255) and leaves the previous map samples in the stroke block,
    // as the undo copy. Method 1 raises, 2 digs (never below 0), 3 flattens toward the
    // target altitude; any other method changes neither block. Results beyond the int16
    // range saturate instead of wrapping to the other sign.
    // Runs 8 or 16 samples per step where the CPU allows it.
    void Apply(int16_t* mapSamples, int16_t* strokeSamples) const;
    // Apply on `count` samples from the given ones; count is a multiple of kApplyGrain.
    void ApplySpan(int16_t* mapSamples, int16_t* strokeSamples, int count) const;
    // The same result as Apply for a stroke block whose samples outside `box` are all 0.
    void ApplyWithin(int16_t* mapSamples, int16_t* strokeSamples, const SampleBox& box) const;
    // The same results one sample at a time: the reference for the vector forms, and
    // what Apply uses for parameters they do not cover.
    void ApplyPlain(int16_t* mapSamples, int16_t* strokeSamples, int count = kBlockSamples) const;
    // Rebuilds the weights for a radius (clamped to 1..32, so the window always fits the
    // table), a shape (0 cone .. 1 flat top) and stores method, altitude + 1 (kept in
    // range) and strength x 255. Always 1.
    int Build(int size, int method, int altitude, double strength, double shape);
    // Merges the weights around (column, row) into the editor's stroke blocks by maximum.
    // Every cell of the window gets a stroke block, also where its weight is 0; cells at
    // negative or unaddressable mesh coordinates are skipped.
    void Stamp(CMapEditor& editor, int64_t column, int64_t row) const;

    uint8_t stamp[kStampSide][kStampSide];
    int32_t size;
    int32_t method;
    int32_t targetAltitude;
    int32_t strength;
};

// n / 255 truncated toward zero, exact for every 32-bit n; a multiply that vectorises.
int32_t DivideBy255(int32_t n);
