// Rebuilding a damaged map from whatever of it can still be trusted: every block record
// whose own checksum passes, wherever it lies in the file, the newest copy of each block
// winning. Only records of committed saves count unless the caller asks for those of
// saves that never committed (which may hold half a stroke). The georeference and the
// void value come from the map's header, its copy or its one damaged byte mended; when
// none of those is left, from a sidecar the user gives. The input is only ever read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maptools/map_commands.h"

struct RecoverOptions {
    std::string georef;      // a sidecar (as from-raw reads) for when no header is left; may be empty
    NewMapOptions map;       // map type and MAT flag with the sidecar
    bool takeUncommitted = false;  // also the records of saves that never committed
    // The void value when the user states it (it then wins over the file's): a value, or none.
    bool voidValueGiven = false;
    bool noVoidValue = false;
    int16_t voidValue = 0;
    ProgressFunc progress = nullptr;
    void* progressData = nullptr;
};

struct RecoverReport {
    std::string headerSource;           // where the georeference came from
    std::string voidSource;             // the void value and where it came from
    std::vector<std::string> warnings;  // what opening the header noticed
    uint64_t intactRecords = 0;         // block records whose checksum passes
    uint64_t damagedRecords = 0;        // record tags whose record fails its checksum
    uint64_t outsideGrid = 0;           // intact records of blocks outside the grid
    uint64_t olderCopies = 0;           // intact records a newer copy replaced
    uint64_t uncommittedRecords = 0;    // intact records of saves that never committed
    // Blocks with a record of a save that never committed newer than the copy written:
    // left at their committed copy, or (takeUncommitted) taken from that save.
    std::vector<int32_t> uncommittedCodes;
    uint64_t blocks = 0;                // blocks written
    uint64_t missing = 0;               // blocks of the grid without any intact record taken
    std::vector<int32_t> missingCodes;  // all of them
    // The file shows damage, a save that never committed, or a first save that held every
    // block, so the missing blocks held data that is lost (else they were never saved).
    bool lost = false;
};

bool RecoverMap(const std::string& in, const std::string& out, const RecoverOptions& options, RecoverReport* report,
                std::string* error);

// The report as the tool prints it, several lines; every missing block is listed.
std::string DescribeRecovery(const RecoverReport& report, bool tookUncommitted);
