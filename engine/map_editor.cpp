#include "engine/map_editor.h"

#include <cstring>
#include <new>

#include "engine/allocation.h"
#include "engine/brush_kernel.h"
#include "engine/mesh_line.h"
#include "host/hpi.h"

namespace {

MapBlock* DefaultAllocate() {
    void* memory = AllocateAligned(sizeof(MapBlock), alignof(MapBlock));
    return memory != nullptr ? new (memory) MapBlock : nullptr;
}

void DefaultFree(MapBlock* block) { FreeAligned(block); }

MapBlockAllocator g_allocate = DefaultAllocate;
MapBlockDeallocator g_free = DefaultFree;

}  // namespace

MapBlock* AllocateMapBlock() { return g_allocate(); }

void FreeMapBlock(MapBlock* block) {
    if (block != nullptr) g_free(block);
}

void SetMapBlockAllocator(MapBlockAllocator allocate, MapBlockDeallocator release) {
    g_allocate = allocate != nullptr ? allocate : DefaultAllocate;
    g_free = release != nullptr ? release : DefaultFree;
}

int BlockList::Append(MapBlock* block) {
    if (count_ == capacity_) {
        MapBlock** grown = AllocateArray<MapBlock*>(static_cast<size_t>(capacity_) + kGrowth);
        if (grown == nullptr) return -1;
        if (count_ > 0) std::memcpy(grown, blocks_, sizeof(MapBlock*) * count_);
        FreeArray(blocks_);
        blocks_ = grown;
        capacity_ += kGrowth;
    }
    blocks_[count_] = block;
    return count_++;
}

MapBlock* BlockList::Find(int32_t code) const {
    for (int i = 0; i < count_; ++i) {
        if (blocks_[i]->code == code) return blocks_[i];
    }
    return nullptr;
}

void BlockList::RemoveAt(int index) {
    FreeMapBlock(blocks_[index]);
    std::memmove(blocks_ + index, blocks_ + index + 1, sizeof(MapBlock*) * (count_ - index - 1));
    --count_;
}

void BlockList::Clear() {
    for (int i = 0; i < count_; ++i) FreeMapBlock(blocks_[i]);
    FreeArray(blocks_);
    blocks_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}

int CMapEditor::SetMap(uint32_t mapHandle) {
    map_ = mapHandle;
    return 1;
}

// The host's result is not consulted; the block is zeroed first so that a host that
// delivers nothing leaves sea level, never undefined samples.
int CMapEditor::LoadBlock(int32_t code) {
    MapBlock* block = AllocateMapBlock();
    if (block == nullptr) return -1;
    std::memset(block->samples, 0, sizeof block->samples);
    HPI_GetMapBlock(map_, BlockIdOf(code), block->samples, kGetBlockFromFile);
    block->code = code;
    int index = mapBlocks_.Append(block);
    if (index < 0) FreeMapBlock(block);
    return index;
}

int CMapEditor::NewStrokeBlock(int32_t code) {
    MapBlock* block = AllocateMapBlock();
    if (block == nullptr) return -1;
    std::memset(block->samples, 0, sizeof block->samples);
    block->code = code;
    block->stamped = SampleBox::Whole();
    int index = strokeBlocks_.Append(block);
    if (index < 0) FreeMapBlock(block);
    return index;
}

// A hit found by searching moves the cache to that block.
int16_t* CMapEditor::Lookup(const BlockList& list, LookupCache& cache, int32_t code) {
    if (code == cache.code) return cache.samples;
    MapBlock* block = list.Find(code);
    if (block == nullptr) return nullptr;
    cache.code = code;
    cache.samples = block->samples;
    return block->samples;
}

int16_t* CMapEditor::FindOrAdd(BlockList& list, LookupCache& cache, int32_t code,
                               int (CMapEditor::*add)(int32_t)) {
    if (int16_t* samples = Lookup(list, cache, code)) return samples;
    int index = (this->*add)(code);
    if (index < 0) return nullptr;
    cache.code = code;
    cache.samples = list.at(index)->samples;
    return cache.samples;
}

int16_t* CMapEditor::FindOrLoadBlock(int32_t code) {
    return FindOrAdd(mapBlocks_, mapCache_, code, &CMapEditor::LoadBlock);
}

int16_t* CMapEditor::FindOrCreateStrokeBlock(int32_t code) {
    int16_t* samples = FindOrAdd(strokeBlocks_, strokeCache_, code, &CMapEditor::NewStrokeBlock);
    if (samples != nullptr) BlockOfSamples(samples)->stamped = SampleBox::Whole();
    return samples;
}

// A block created here starts with an empty box, as nothing else has written to it.
int16_t* CMapEditor::FindOrCreateStampedBlock(int32_t code, int32_t row, int32_t firstColumn, int32_t lastColumn) {
    bool created = Lookup(strokeBlocks_, strokeCache_, code) == nullptr;
    int16_t* samples = FindOrAdd(strokeBlocks_, strokeCache_, code, &CMapEditor::NewStrokeBlock);
    if (samples == nullptr) return nullptr;
    SampleBox& box = BlockOfSamples(samples)->stamped;
    if (created) box = SampleBox::Empty();
    box.Add(row, firstColumn, lastColumn);
    return samples;
}

int16_t* CMapEditor::FindBlock(int32_t code) { return Lookup(mapBlocks_, mapCache_, code); }

int CMapEditor::CopyBlockOut(int32_t code, int16_t* buffer) {
    const int16_t* samples = FindBlock(code);
    if (samples == nullptr) return 0;
    std::memcpy(buffer, samples, kBlockBytes);
    return 1;
}

void CMapEditor::DropStrokeBlock(int index) {
    strokeBlocks_.RemoveAt(index);
    strokeCache_ = LookupCache();
}

void CMapEditor::ClearStroke() {
    strokeBlocks_.Clear();
    strokeCache_ = LookupCache();
}

void CMapEditor::FreeAll() {
    ClearStroke();
    mapBlocks_.Clear();
    mapCache_ = LookupCache();
}

// Only the stretch of the line whose stamps can reach the mesh is walked: a stamp reaches
// size - 1 cells from its centre, and one wholly off the mesh would change nothing.
void CMapEditor::PaintLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    if (kernel_ == nullptr) return;
    const MeshLine line(x0, y0, x1, y1);
    const int64_t reach = kernel_->size > 1 ? kernel_->size - 1 : 0;
    int64_t first = 0, last = 0;
    if (!line.StepsInside(-reach, kMaxMeshColumns - 1 + reach, -reach, kMaxMeshRows - 1 + reach, &first, &last)) return;
    line.Walk(first, last, [this](int64_t x, int64_t y) { kernel_->Stamp(*this, x, y); });
}

// A stroke block whose map block cannot be had is skipped and dropped. A stroke whose
// method paints nothing changes nothing, so its blocks, still holding weights rather than
// map samples, are dropped too: undo must never write them into the map.
void CMapEditor::CommitStroke() {
    if (kernel_ == nullptr) return;
    if (!IsPaintingMethod(kernel_->method)) {
        ClearStroke();
        return;
    }
    const CBrushKernel& kernel = *kernel_;
    ApplyStrokeBlocks([&kernel](int16_t* samples, MapBlock& stroke) {
        kernel.ApplyWithin(samples, stroke.samples, stroke.stamped);
        stroke.stamped = SampleBox::Whole();  // the undo copy fills the block
    });
}

void CMapEditor::PushToHost() {
    for (int i = 0; i < strokeBlocks_.count(); ++i) {
        int32_t code = strokeBlocks_.at(i)->code;
        int16_t* samples = FindBlock(code);
        if (samples != nullptr) HPI_ReplaceCache(map_, BlockIdOf(code), samples);
    }
}

void CMapEditor::RestoreFromStroke() {
    for (int i = 0; i < strokeBlocks_.count(); ++i) {
        const MapBlock* stroke = strokeBlocks_.at(i);
        int16_t* samples = FindBlock(stroke->code);
        if (samples != nullptr) std::memcpy(samples, stroke->samples, kBlockBytes);
    }
}
