// The brush: a 65 x 65 table of byte weights (a disc centred on cell 32, 32) and the
// parameters of the current stroke. Weights: 0 outside the brush, 1..255 inside.
// Size is a radius in samples (1..32); strength is 0..255; the target altitude is the
// flatten altitude in metres plus one.
#pragma once

#include <cstdint>

const int kStampSide = 65;
const int kStampCentre = 32;

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
    void Apply(int16_t* mapSamples, int16_t* strokeSamples) const;

    uint8_t stamp[kStampSide][kStampSide];
    int32_t size;
    int32_t method;
    int32_t targetAltitude;
    int32_t strength;
};
