// The map tool's commands that need no GDAL: building maps from raw grids and from the
// synthetic landscape, compacting, and describing a map. Every map is written through a
// temporary file and a rename (MapStreamWriter), row of blocks by row of blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maptools/map_stream.h"

struct NewMapOptions {
    uint32_t mapType = 5;
    bool mat = false;
};

// A raw grid is little-endian int16 metres, row-major, row 0 north, width * height
// samples and nothing else; the sidecar gives its size and georeference.
bool MapFromRaw(const std::string& rawPath, const std::string& sidecarPath, const std::string& out,
                const NewMapOptions& options, std::string* error);

// A deterministic landscape: the same size always gives the same map.
bool SyntheticMap(int32_t width, int32_t height, const std::string& out, const NewMapOptions& options,
                  std::string* error, ProgressFunc progress = nullptr, void* progressData = nullptr);

// Rewrites `in` as one save holding the newest copy of each block, to `out` (which may
// be `in`). Refuses, naming them, when blocks have no readable copy (damaged data may have
// held one), unless `dropDamaged`: the rest is written then, and `dropped` names what
// was left out. Refuses, naming them, when a block's newest copy is damaged and an older
// one would take its place, unless `useOlderCopies`: `olderCopies` names them then.
// Refuses a map whose void value cannot be read, and whenever a stored copy cannot be
// read back intact.
struct CompactOptions {
    bool dropDamaged = false;
    bool useOlderCopies = false;
};
struct CompactReport {
    std::vector<std::string> warnings;  // what the reader noticed, damage the result no longer carries
    uint64_t dropped = 0;               // blocks left out
    std::vector<int32_t> droppedCodes;  // the first of them
    std::vector<int32_t> olderCopies;   // blocks written from an older copy than their newest
    uint64_t blocks = 0;                // blocks written
};
bool CompactMap(const std::string& in, const std::string& out, const CompactOptions& options, CompactReport* report,
                std::string* error, ProgressFunc progress = nullptr, void* progressData = nullptr);
bool CompactMap(const std::string& in, const std::string& out, bool dropDamaged, CompactReport* report,
                std::string* error, ProgressFunc progress = nullptr, void* progressData = nullptr);
// The same, refusing to drop anything.
bool CompactMap(const std::string& in, const std::string& out, std::vector<std::string>* warnings,
                std::string* error);

// Block codes as a message lists them: the first few, then how many more.
std::string CodeList(const std::vector<int32_t>& codes, uint64_t total);

// The header, the georeference, the saves with their block counts, the blocks saved
// since the first save, and the reader's warnings.
bool DescribeMap(const std::string& in, std::string* text, std::string* error);
