#include "tests/native/fake_host.h"

#include <map>
#include <string>

#include "engine/block_geometry.h"
#include "host/hpi.h"

FakeHost& TheFakeHost() {
    static FakeHost host;
    return host;
}

int FakeHost::Count(FakeHostCall::Kind kind) const {
    int count = 0;
    for (const FakeHostCall& call : calls) count += call.kind == kind;
    return count;
}

int16_t FakeHostSample(long blockId, int index) {
    return static_cast<int16_t>((blockId / 100 * 7 + index * 13) % 3000 - 500);
}

extern "C" int HPI_GetMapBlock(HPI_HANDLE map, long blockId, short* samples, unsigned source) {
    FakeHost& host = TheFakeHost();
    host.calls.push_back({FakeHostCall::kGetMapBlock, map, blockId, source, {}});
    if (!host.delivers) return 0;
    for (int i = 0; i < kBlockSamples; ++i) samples[i] = FakeHostSample(blockId, i);
    return 1;
}

extern "C" void HPI_ReplaceCache(HPI_HANDLE map, long blockId, short* samples) {
    TheFakeHost().calls.push_back(
        {FakeHostCall::kReplaceCache, map, blockId, 0, std::vector<int16_t>(samples, samples + kBlockSamples)});
}

// Profile values by key, for the parts that persist settings.
std::map<std::string, int32_t>& FakeProfile() {
    static std::map<std::string, int32_t> values;
    return values;
}

extern "C" unsigned HPI_GetProfileInt(HPI_HANDLE, const char* key, int def) {
    auto found = FakeProfile().find(key);
    return static_cast<unsigned>(found != FakeProfile().end() ? found->second : def);
}

extern "C" int HPI_WriteProfileInt(HPI_HANDLE, const char* key, int value) {
    FakeProfile()[key] = value;
    return 1;
}
