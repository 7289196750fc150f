// The map tool's command line, read as GDAL's utilities read theirs: `--help` on the tool
// and on each command prints its usage to stdout, `--version` the version, and an
// unknown option or a missing value is a usage error (exit code 2) that names it.
#pragma once

#include <string>
#include <vector>

#include "maptools/gdal_export.h"
#include "maptools/gdal_import.h"
#include "maptools/map_commands.h"

const char* const kMapToolVersion = "1.1";

struct ToolOptions {
    std::string command;
    std::vector<std::string> positional;
    NewMapOptions map;
    ImportOptions import;
    ExportOptions exporting;
    bool dropDamaged = false;
    bool noLock = false;  // writers go on where the map cannot be locked at all
    bool useOlderCopies = false;
    bool takeUncommitted = false;
    bool noVoidValue = false;
    bool quiet = false;
    std::string georef;
    // Options that mean something only beside another.
    bool givenResampling = false, givenCellSize = false, givenMaxDistance = false;
};

// The largest --max-distance: the fill keeps this many rows around each band in memory.
const int kMaxFillDistance = 10000;

enum class ParseOutcome {
    kRun,         // *options says what to do
    kPrinted,     // help or version: *text goes to stdout, exit code 0
    kUsageError,  // *text says what is wrong, exit code 2
};

ParseOutcome ParseCommandLine(int argc, const char* const* argv, ToolOptions* options, std::string* text);

// The usage of one command, or of the tool when `command` is empty or unknown.
std::string UsageText(const std::string& command);
