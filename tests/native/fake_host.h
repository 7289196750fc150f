// A recording stand-in for the host's window-free block functions, for native tests of
// the plug-in's engine. Blocks the host "holds" are filled with a pattern per code.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/hpi.h"

struct FakeHostCall {
    enum Kind { kGetMapBlock, kReplaceCache } kind;
    uint32_t map;
    long blockId;
    unsigned source;  // HPI_GetMapBlock's fourth argument
    std::vector<int16_t> samples;  // what was handed to HPI_ReplaceCache
};

struct FakeHost {
    std::vector<FakeHostCall> calls;
    // When false, HPI_GetMapBlock writes nothing (a host that cannot deliver the block).
    bool delivers = true;

    int Count(FakeHostCall::Kind kind) const;
    void Reset() { *this = FakeHost(); }
};

FakeHost& TheFakeHost();
// The sample value the fake host delivers for a block identifier and sample index.
int16_t FakeHostSample(long blockId, int index);
// Profile values the fake host holds, by key, whatever the plug-in handle.
std::map<std::string, int32_t>& FakeProfile();
const HPI_HANDLE kFakePluginHandle = 7;
