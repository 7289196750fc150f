// One block of samples with its code, allocated on its own and never moved while held.
// The samples are 4 KiB-aligned: copies between two blocks whose addresses differ by a
// small amount modulo 4 KiB ran many times slower on the machines we measured.
#pragma once

#include <cstdint>

#include "engine/block_geometry.h"

struct MapBlock {
    int32_t code;
    alignas(4096) int16_t samples[kBlockSamples];
};

// Block allocation; replaceable so that tests can make it fail.
typedef MapBlock* (*MapBlockAllocator)();
typedef void (*MapBlockDeallocator)(MapBlock* block);

MapBlock* AllocateMapBlock();   // null when memory is short
void FreeMapBlock(MapBlock* block);
// Passing nulls restores the default allocator.
void SetMapBlockAllocator(MapBlockAllocator allocate, MapBlockDeallocator release);
