#include "devhost/app/summary.h"

#include <algorithm>
#include <set>
#include <vector>

#include "mapstore/map_file.h"

namespace devhost {
namespace {

// Samples of a block that differ, counted only over the part inside the map: the rest
// of a partial block at the map's east or south edge holds no map sample.
long CountChanges(const int16_t* a, const int16_t* b, int rows, int columns, const MapHeader& original,
                  MapChanges* changes) {
    long changed = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            int delta = b[r * kMapBlockSide + c] - a[r * kMapBlockSide + c];
            if (delta == 0) continue;
            if (original.hasVoidValue && a[r * kMapBlockSide + c] == original.voidValue) {
                ++changes->voidsPaintedOver;
                continue;
            }
            ++changed;
            changes->smallestChange = std::min(changes->smallestChange, delta);
            changes->largestChange = std::max(changes->largestChange, delta);
        }
    }
    return changed;
}

}  // namespace

bool CompareMapFiles(const std::string& original, const std::string& edited, MapChanges* changes,
                     std::string* error) {
    MapFileReader before, after;
    if (!before.OpenForOnePass(original, error) || !after.OpenForOnePass(edited, error)) return false;
    std::set<int32_t> codes;
    for (int32_t code : before.BlockCodes()) codes.insert(code);
    for (int32_t code : after.BlockCodes()) codes.insert(code);
    std::vector<int16_t> a(kMapBlockSamples), b(kMapBlockSamples);
    *changes = MapChanges();
    for (int32_t code : codes) {
        if (!before.ReadBlock(code, a.data(), error) || !after.ReadBlock(code, b.data(), error)) return false;
        int32_t row = 0, column = 0;
        MapBlockOrigin(code, &row, &column);
        if (row >= after.header().height || column >= after.header().width) continue;
        ++changes->blocksCompared;
        long changed = CountChanges(a.data(), b.data(), std::min(kMapBlockSide, after.header().height - row),
                                    std::min(kMapBlockSide, after.header().width - column), before.header(), changes);
        changes->samplesChanged += changed;
        if (changed > 0) ++changes->blocksChanged;
    }
    return true;
}

}  // namespace devhost
