// devhost's own words to its user when a map cannot be opened or saved: a Japanese
// sentence that says what happened and what to do, then the technical detail the store
// gave, in English, on a line of its own for a bug report.
#pragma once

#include <string>

namespace devhost {

enum class MapTask { kOpen, kSave, kSaveAs };

struct MapFailure {
    MapTask task;
    std::string path;    // the map (open, save) or the name chosen (save as), UTF-8
    std::string detail;  // what the store said
    bool diskFull;       // the folder had no room left when the write failed
};

std::wstring MapFailureText(const MapFailure& failure);
// Whether saving under a new name keeps the edits where the map's own file cannot take
// them: read-only, saved or replaced by another program, a block never read in full.
bool SaveAsGetsRound(const MapFailure& failure);

}  // namespace devhost
