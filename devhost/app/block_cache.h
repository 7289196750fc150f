// The view's block cache: copies of 320 x 320 int16 blocks (map blocks and overview
// blocks), kept within a byte budget with least-recently-used eviction.
//
// The cache owns every buffer it holds and frees only those; blocks that plug-ins hold or
// pushed into the host's display cache are never its to drop. A block used during the
// current frame is pinned until the frame ends, so a pointer the renderer holds stays
// valid: when a frame needs more than the budget, the cache grows past it for that frame
// and shrinks back at the next insertion after the frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

const size_t kDefaultBlockCacheBytes = size_t(256) << 20;

class BlockCache {
public:
    explicit BlockCache(size_t budgetBytes = kDefaultBlockCacheBytes);
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // A frame pins every block found or inserted until EndFrame.
    void BeginFrame();
    void EndFrame();
    // The cached block with this key (marked most recently used, pinned while a frame is
    // open), or null.
    int16_t* Find(uint64_t key);
    // A new buffer for this key, filled by the caller; evicts unpinned least-recently-used
    // blocks to make room. Replaces an existing block with the key.
    int16_t* Insert(uint64_t key);
    void Erase(uint64_t key);
    void Clear();

    size_t bytes() const { return entries_.size() * kEntryBytes; }
    size_t budget() const { return budget_; }
    size_t count() const { return entries_.size(); }

private:
    static const size_t kEntryBytes;
    struct Entry {
        uint64_t key;
        uint64_t frame;  // last frame that used it
        std::unique_ptr<int16_t[]> samples;
    };
    using Lru = std::list<Entry>;  // most recently used first

    void Touch(Lru::iterator entry);
    void MakeRoom();

    size_t budget_;
    uint64_t frame_ = 0;
    bool inFrame_ = false;
    Lru lru_;
    std::unordered_map<uint64_t, Lru::iterator> entries_;
};
