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

    uint8_t stamp[kStampSide][kStampSide];
    int32_t size;
    int32_t method;
    int32_t targetAltitude;
    int32_t strength;
};
