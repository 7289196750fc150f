// Per-map editing state: copies of the host's blocks (map blocks) and the blocks that
// collect one stroke or generation and then hold the undo copy (stroke blocks).
//
// Stroke samples: 0 or less is untouched; a stroke stores weights 1..255, a generation
// the altitude + 1. Applying a stroke block overwrites all of it with the map block's
// previous samples, which makes it the single level of undo.
#pragma once

#include <cstdint>

#include "engine/map_block.h"

class CBrushKernel;

// Pointers to blocks in the order they were added; storage grows 10 entries at a time.
// Owns the blocks.
class BlockList {
public:
    BlockList() = default;
    ~BlockList() { Clear(); }
    BlockList(const BlockList&) = delete;
    BlockList& operator=(const BlockList&) = delete;

    int count() const { return count_; }
    MapBlock* at(int index) const { return blocks_[index]; }
    // Index of the appended block, or -1 when the list cannot grow (the caller keeps it).
    int Append(MapBlock* block);
    MapBlock* Find(int32_t code) const;
    // Frees the block at `index`; the later ones move up, keeping their order.
    void RemoveAt(int index);
    // Frees every block and releases the storage.
    void Clear();

private:
    static const int kGrowth = 10;

    MapBlock** blocks_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
};

class CMapEditor {
public:
    CMapEditor() = default;
    ~CMapEditor() { FreeAll(); }
    CMapEditor(const CMapEditor&) = delete;
    CMapEditor& operator=(const CMapEditor&) = delete;

    int SetMap(uint32_t mapHandle);
    void SetBrush(CBrushKernel* kernel) { kernel_ = kernel; }

    // Index of the new block, or -1 when memory is short (nothing changes then).
    int LoadBlock(int32_t code);
    int NewStrokeBlock(int32_t code);

    // Samples of the block, or null when it cannot be had.
    int16_t* FindOrLoadBlock(int32_t code);
    // A caller may write anywhere in the samples, so the whole block counts as stamped.
    int16_t* FindOrCreateStrokeBlock(int32_t code);
    // For stamping: the samples of the stroke block, whose stamped box grows by the
    // given columns of the given row (all within the block).
    int16_t* FindOrCreateStampedBlock(int32_t code, int32_t row, int32_t firstColumn, int32_t lastColumn);
    int16_t* FindBlock(int32_t code);
    // Copies a held map block into `buffer` (102 400 samples); 0 when not held.
    int CopyBlockOut(int32_t code, int16_t* buffer);

    void ClearStroke();
    void FreeAll();
    void BeginStroke() { ClearStroke(); }
    // Stamps the kernel at every point of the line from (x0, y0) to (x1, y1), columns x
    // and rows y: max(|dx|, |dy|) + 1 stamps, both ends included.
    void PaintLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1);
    // Applies every stroke block to its map block with the kernel's method: the arithmetic
    // inside each block's stamped box, a plain copy into the undo copy outside it. With a
    // method that paints nothing, drops the stroke blocks instead (nothing to undo).
    void CommitStroke();
    // Gives the host's display cache every held map block that a stroke block names.
    void PushToHost();
    // Undo: copies every stroke block back over its held map block; tells the host nothing.
    void RestoreFromStroke();
    // Calls apply(map samples, stroke block) for every stroke block in list order, its map
    // block loaded when absent. A stroke block whose map block cannot be had is freed: it
    // still holds weights or altitudes, not an undo copy, so undo must never find it.
    template <typename Apply>
    void ApplyStrokeBlocks(Apply apply) {
        for (int i = 0; i < strokeBlocks_.count();) {
            MapBlock* stroke = strokeBlocks_.at(i);
            int16_t* samples = FindOrLoadBlock(stroke->code);
            if (samples == nullptr) {
                DropStrokeBlock(i);
                continue;
            }
            apply(samples, *stroke);
            ++i;
        }
    }

    int MapBlockCount() const { return mapBlocks_.count(); }
    const MapBlock* MapBlockAt(int index) const { return mapBlocks_.at(index); }
    int StrokeBlockCount() const { return strokeBlocks_.count(); }
    const MapBlock* StrokeBlockAt(int index) const { return strokeBlocks_.at(index); }
    uint32_t map() const { return map_; }
    CBrushKernel* kernel() const { return kernel_; }

private:
    struct LookupCache {
        int32_t code = -1;
        int16_t* samples = nullptr;
    };

    void DropStrokeBlock(int index);
    static int16_t* Lookup(const BlockList& list, LookupCache& cache, int32_t code);
    // Lookup, else `add` (LoadBlock or NewStrokeBlock) and the cache moved to the new block.
    int16_t* FindOrAdd(BlockList& list, LookupCache& cache, int32_t code,
                       int (CMapEditor::*add)(int32_t));

    BlockList mapBlocks_;
    BlockList strokeBlocks_;
    uint32_t map_ = 0;
    LookupCache mapCache_;
    LookupCache strokeCache_;
    CBrushKernel* kernel_ = nullptr;
};
