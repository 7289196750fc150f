// Compacting a map that saves have grown. Saves only append, so every save of an edited
// block leaves its earlier copy behind; once the superseded copies outweigh the live
// ones, the map is rewritten as one save holding the newest copy of each block.
#pragma once

#include <functional>
#include <string>

#include "mapstore/map_file.h"

enum class CompactionOutcome {
    kNotNeeded,  // the file is at most twice the size of its newest blocks
    kCompacted,  // the file now holds one save
    kLeftAlone,  // not compacted, the map untouched; `reason` says why
};

// The size a map holding one save of `blocks` blocks takes.
uint64_t CompactMapBytes(uint64_t blocks);

// Compacts the map at `path` when the file is more than twice the size of its newest
// blocks. The map's write lock is held while the file is read and the new one is written,
// under a unique name beside it, and put on disk; only then is it renamed into place,
// so that until the rename the old file is whole, and after it the new one.
// It is done only when the file still holds exactly what `known` read (no other program
// saved since) and nothing in it is damaged: damaged data may still be recovered from the
// old file. `release` is called just before the rename, with the lock given up: it must
// close every handle the caller holds on the file (Windows renames over no open file).
CompactionOutcome CompactWastefulMap(const std::string& path, const MapFileReader& known,
                                     const std::function<void()>& release, std::string* reason);
