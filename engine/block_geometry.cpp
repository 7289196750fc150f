#include "engine/block_geometry.h"

int64_t BlockCodeOf(int64_t row, int64_t col) {
    int64_t r40 = row / 40;
    int64_t c40 = col / 40;
    int64_t full = (c40 % 8) + 10 * (r40 % 8) + 100 * ((c40 % 800) / 8) +
                   10000 * ((r40 % 800) / 8) + 1000000 * (col / 32000) +
                   100000000 * (row / 32000);
    return full / 100;
}

// Beyond these limits identifiers leave the int32 range (rows) or columns alias blocks
// of other rows (column 3 200 000 gives the code of row 32 000).
bool LocateSample(int64_t col, int64_t row, int32_t* code, int32_t* index) {
    if (col < 0 || row < 0 || col >= kMaxMeshColumns || row >= kMaxMeshRows) return false;
    *code = static_cast<int32_t>(BlockCodeOf(row, col));
    *index = SampleIndexOf(row, col);
    return true;
}
