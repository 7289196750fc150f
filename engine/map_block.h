// One block of samples with its code, allocated on its own and never moved while held.
// The samples are 4 KiB-aligned: copies between two blocks whose addresses differ by a
// small amount modulo 4 KiB ran many times slower on the machines we measured.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/block_geometry.h"

// Rows and columns of a block, first to last inclusive; empty when firstRow > lastRow.
struct SampleBox {
    int32_t firstRow, lastRow, firstColumn, lastColumn;

    static SampleBox Empty() { return SampleBox{kBlockSide, -1, kBlockSide, -1}; }
    static SampleBox Whole() { return SampleBox{0, kBlockSide - 1, 0, kBlockSide - 1}; }
    bool IsEmpty() const { return firstRow > lastRow; }
    void Add(int32_t row, int32_t first, int32_t last) {
        if (row < firstRow) firstRow = row;
        if (row > lastRow) lastRow = row;
        if (first < firstColumn) firstColumn = first;
        if (last > lastColumn) lastColumn = last;
    }
};

struct MapBlock {
    int32_t code;
    // In a stroke block: where weights may be, so that applying it can copy the rest.
    SampleBox stamped;
    alignas(4096) int16_t samples[kBlockSamples];
};

// The block whose sample array `samples` is.
inline MapBlock* BlockOfSamples(int16_t* samples) {
    return reinterpret_cast<MapBlock*>(reinterpret_cast<char*>(samples) - offsetof(MapBlock, samples));
}

// Block allocation; replaceable so that tests can make it fail.
typedef MapBlock* (*MapBlockAllocator)();
typedef void (*MapBlockDeallocator)(MapBlock* block);

MapBlock* AllocateMapBlock();   // null when memory is short
void FreeMapBlock(MapBlock* block);
// Passing nulls restores the default allocator.
void SetMapBlockAllocator(MapBlockAllocator allocate, MapBlockDeallocator release);
