#include "devhost/app/block_cache.h"

const size_t BlockCache::kEntryBytes = 320 * 320 * sizeof(int16_t);

BlockCache::BlockCache(size_t budgetBytes) : budget_(budgetBytes) {}

void BlockCache::BeginFrame() {
    ++frame_;
    inFrame_ = true;
}

void BlockCache::EndFrame() { inFrame_ = false; }

void BlockCache::Touch(Lru::iterator entry) {
    entry->frame = frame_;
    lru_.splice(lru_.begin(), lru_, entry);
}

int16_t* BlockCache::Find(uint64_t key) {
    auto found = entries_.find(key);
    if (found == entries_.end()) return nullptr;
    Touch(found->second);
    return found->second->samples.get();
}

// Walks from the least recently used end; blocks of the open frame are skipped.
void BlockCache::MakeRoom() {
    auto entry = lru_.end();
    while (bytes() + kEntryBytes > budget_ && entry != lru_.begin()) {
        --entry;
        if (inFrame_ && entry->frame == frame_) continue;
        entries_.erase(entry->key);
        entry = lru_.erase(entry);
    }
}

int16_t* BlockCache::Insert(uint64_t key) {
    Erase(key);
    MakeRoom();
    lru_.push_front(Entry{key, frame_, std::unique_ptr<int16_t[]>(new int16_t[320 * 320])});
    entries_[key] = lru_.begin();
    return lru_.front().samples.get();
}

void BlockCache::Erase(uint64_t key) {
    auto found = entries_.find(key);
    if (found == entries_.end()) return;
    lru_.erase(found->second);
    entries_.erase(found);
}

void BlockCache::Clear() {
    entries_.clear();
    lru_.clear();
}
