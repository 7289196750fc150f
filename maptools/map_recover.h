// Rebuilding a damaged map from whatever of it can still be trusted: every block record
// whose own checksum passes, wherever it lies in the file, the newest copy of each block
// winning. The georeference comes from the map's header, its copy or its one damaged
// byte mended; when none of those is left, from a sidecar the user gives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maptools/map_commands.h"

struct RecoverOptions {
    std::string georef;      // a sidecar (as from-raw reads) for when no header is left; may be empty
    NewMapOptions map;       // map type and MAT flag with the sidecar
};

struct RecoverReport {
    std::string headerSource;           // where the georeference came from
    std::vector<std::string> warnings;  // what opening the header noticed
    uint64_t intactRecords = 0;         // block records whose checksum passes
    uint64_t damagedRecords = 0;        // record tags whose record fails its checksum
    uint64_t outsideGrid = 0;           // intact records of blocks outside the grid
    uint64_t olderCopies = 0;           // intact records a newer copy replaced
    uint64_t blocks = 0;                // blocks written
    uint64_t missing = 0;               // blocks of the grid without any intact record
    std::vector<int32_t> missingCodes;  // the first of them
};

bool RecoverMap(const std::string& in, const std::string& out, const RecoverOptions& options, RecoverReport* report,
                std::string* error);

// The report as the tool prints it, several lines.
std::string DescribeRecovery(const RecoverReport& report);
