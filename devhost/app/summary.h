// What a session changed in a map file: compared block by block with the original.
#pragma once

#include <string>

namespace devhost {

struct MapChanges {
    int blocksCompared = 0;
    int blocksChanged = 0;
    long samplesChanged = 0;
    int smallestChange = 0;  // metres, most negative
    int largestChange = 0;   // metres, most positive
    // Voids of the original (samples holding its void value) that now hold a height: counted
    // here alone, since their change in metres is no change of terrain.
    long voidsPaintedOver = 0;
};

bool CompareMapFiles(const std::string& original, const std::string& edited, MapChanges* changes,
                     std::string* error);

}  // namespace devhost
