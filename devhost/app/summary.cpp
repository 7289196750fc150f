#include "devhost/app/summary.h"

#include <algorithm>
#include <set>
#include <vector>

#include "devhost/store/map_file.h"

namespace devhost {

bool CompareMapFiles(const std::string& original, const std::string& edited, MapChanges* changes,
                     std::string* error) {
    MapFileReader before, after;
    if (!before.Open(original, error) || !after.Open(edited, error)) return false;
    std::set<int32_t> codes;
    for (int32_t code : before.BlockCodes()) codes.insert(code);
    for (int32_t code : after.BlockCodes()) codes.insert(code);
    std::vector<int16_t> a(kMapBlockSamples), b(kMapBlockSamples);
    *changes = MapChanges();
    for (int32_t code : codes) {
        if (!before.ReadBlock(code, a.data(), error) || !after.ReadBlock(code, b.data(), error)) return false;
        ++changes->blocksCompared;
        long changed = 0;
        for (int i = 0; i < kMapBlockSamples; ++i) {
            int delta = b[i] - a[i];
            if (delta == 0) continue;
            ++changed;
            changes->smallestChange = std::min(changes->smallestChange, delta);
            changes->largestChange = std::max(changes->largestChange, delta);
        }
        changes->samplesChanged += changed;
        if (changed > 0) ++changes->blocksChanged;
    }
    return true;
}

}  // namespace devhost
