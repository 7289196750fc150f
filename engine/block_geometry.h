// Block geometry shared by the whole plug-in. The host's elevation grid is cut into
// blocks of 320 x 320 int16 samples (metres), stored row by row. A block is named by its
// block code; the host names it by code x 100 (its block identifier).
// Mesh coordinates are the column (x) and row (y) of a sample; only non-negative ones
// whose identifier fits in a signed 32-bit integer address a block.
#pragma once

#include <cstdint>

const int kBlockSide = 320;
const int kBlockSamples = kBlockSide * kBlockSide;         // 102 400
const int kBlockBytes = kBlockSamples * sizeof(int16_t);   // 204 800
const int32_t kBlockIdFactor = 100;                         // identifier = code x 100
// Mesh extent in which every block has its own code and code x 100 fits in int32.
const int64_t kMaxMeshRows = 672000;
const int64_t kMaxMeshColumns = 3200000;

// Block code of the sample at (row, col), computed in the host's steps: 40-sample tiles,
// then the tile's decimal digits dropped. Defined for non-negative coordinates only.
int64_t BlockCodeOf(int64_t row, int64_t col);

// Index of the sample at (row, col) within its block.
inline int32_t SampleIndexOf(int64_t row, int64_t col) {
    return static_cast<int32_t>((row % kBlockSide) * kBlockSide + (col % kBlockSide));
}

// Code and index of a mesh point. False for a point that no block can hold: a negative
// coordinate, or one beyond the mesh extent above.
bool LocateSample(int64_t col, int64_t row, int32_t* code, int32_t* index);

inline int32_t BlockIdOf(int32_t code) { return code * kBlockIdFactor; }
inline int32_t BlockCodeOfId(int64_t id) { return static_cast<int32_t>(id / kBlockIdFactor); }
