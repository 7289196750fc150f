// zolva-make-map: builds, converts and inspects map files for devhost.
//
//   zolva-make-map import <src> <out.map> [--type N] [--mat] [--band B]
//                         [--reproject [--resampling M] [--cell-size DEG]] [--crop]
//                         [--fill-voids [--max-distance N]] [--void-value V] [-q]
//   zolva-make-map export <in.map> <out> [--format F] [-co NAME=VALUE]... [--accept-loss] [-q]
//   zolva-make-map info <in.map> [-q]
//   zolva-make-map compact <in.map> [<out.map>] [--drop-damaged] [--use-older-copies] [-q]
//   zolva-make-map recover <in.map> <out.map> [--georef SIDECAR.json [--type N] [--mat]] [--take-uncommitted]
//                          [--void-value V | --no-void-value] [-q]
//   zolva-make-map from-raw <grid.raw> <sidecar.json> <out.map> [--type N] [--mat] [-q]
//   zolva-make-map synthetic <width> <height> <out.map> [--type N] [--mat] [-q]
// Each command that writes a map also takes --no-lock.
//
// Every command streams by rows of blocks, so memory follows a map's width, not its area.
// Long work shows GDAL's progress bar (not with -q), and every command ends with one line
// saying what it did. Exit codes: 0 done, 1 failed, 2 a usage error.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <cpl_progress.h>
#include <gdal.h>

#include "mapstore/map_file.h"
#include "maptools/command_line.h"
#include "maptools/gdal_export.h"
#include "maptools/gdal_import.h"
#include "maptools/map_commands.h"
#include "maptools/map_recover.h"

namespace {

using Options = ToolOptions;

int Fail(const std::string& message) {
    const char* way = IsLockUnavailableError(message) ? ": give --no-lock to do that" : "";
    std::fprintf(stderr, "zolva-make-map: %s%s\n", message.c_str(), way);
    return 1;
}

void Warn(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) std::fprintf(stderr, "zolva-make-map: warning: %s\n", warning.c_str());
}

ProgressFunc Progress(const Options& options) { return options.quiet ? nullptr : GDALTermProgress; }

// The closing line of every command, with the time it took.
class Summary {
public:
    explicit Summary(const Options& options) : quiet_(options.quiet), start_(std::chrono::steady_clock::now()) {}
    int Done(const std::string& what) const {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        if (!quiet_) std::printf("%s in %.1f s\n", what.c_str(), seconds);
        return 0;
    }

private:
    bool quiet_;
    std::chrono::steady_clock::time_point start_;
};

std::string Size(const MapHeader& h) { return std::to_string(h.width) + " x " + std::to_string(h.height) + " samples"; }

int Import(const Options& options) {
    Summary summary(options);
    ImportOptions import = options.import;
    import.progress = Progress(options);
    ImportReport report;
    std::string error;
    if (!ImportRaster(options.positional[0], options.positional[1], import, &report, &error)) return Fail(error);
    if (!options.quiet) std::fputs(DescribeImport(report).c_str(), stdout);
    return summary.Done("imported " + options.positional[0] + " into " + options.positional[1] + ": " +
                        Size(report.header) + ", " + std::to_string(report.minimum) + " .. " +
                        std::to_string(report.maximum) + " m, " + std::to_string(report.voids - report.voidsFilled) +
                        " voids" + (report.voidsFilled > 0 ? " (" + std::to_string(report.voidsFilled) + " filled)" : ""));
}

int Export(const Options& options) {
    Summary summary(options);
    ExportOptions exporting = options.exporting;
    exporting.progress = Progress(options);
    std::vector<std::string> written, warnings;
    std::string error;
    bool ok = ExportMap(options.positional[0], options.positional[1], exporting, &written, &warnings, &error);
    Warn(warnings);
    if (!ok) return Fail(error);
    std::string files;
    for (const std::string& file : written) files += (files.empty() ? "" : ", ") + file;
    return summary.Done("exported " + options.positional[0] + " to " + files);
}

int Info(const Options& options) {
    Summary summary(options);
    std::string text, error;
    if (!DescribeMap(options.positional[0], &text, &error)) return Fail(error);
    std::fputs(text.c_str(), stdout);
    return summary.Done("described " + options.positional[0]);
}

int Compact(const Options& options) {
    Summary summary(options);
    const std::string& out = options.positional.back();
    CompactReport report;
    std::string error;
    CompactOptions compact;
    compact.dropDamaged = options.dropDamaged;
    compact.useOlderCopies = options.useOlderCopies;
    bool ok = CompactMap(options.positional[0], out, compact, &report, &error, Progress(options));
    Warn(report.warnings);
    if (!ok) return Fail(error);
    if (!report.olderCopies.empty()) {
        std::printf("wrote an older copy of %zu block(s) whose newest copy is damaged:%s\n", report.olderCopies.size(),
                    CodeList(report.olderCopies, report.olderCopies.size()).c_str());
    }
    if (report.dropped > 0) {
        std::printf("dropped %llu block(s) without a readable copy; they read as sea level now:%s\n",
                    (unsigned long long)report.dropped, CodeList(report.droppedCodes, report.dropped).c_str());
    }
    return summary.Done("wrote " + out + " as one save of " + std::to_string(report.blocks) + " blocks");
}

int Recover(const Options& options) {
    Summary summary(options);
    RecoverOptions recover;
    recover.georef = options.georef;
    recover.map = options.map;
    recover.takeUncommitted = options.takeUncommitted;
    recover.voidValueGiven = options.import.setVoids;
    recover.voidValue = options.import.voidValue;
    recover.noVoidValue = options.noVoidValue;
    recover.progress = Progress(options);
    RecoverReport report;
    std::string error;
    bool ok = RecoverMap(options.positional[0], options.positional[1], recover, &report, &error);
    Warn(report.warnings);
    if (!ok) return Fail(error);
    // The losses are what the user must see, quiet or not.
    if (!options.quiet || report.lost) std::fputs(DescribeRecovery(report, options.takeUncommitted).c_str(), stdout);
    if (report.lost) {
        summary.Done("recovered " + options.positional[0] + " into " + options.positional[1] + ": " +
                     std::to_string(report.blocks) + " blocks");
        return Fail(std::to_string(report.missing) + " block(s) could not be brought back (listed above)");
    }
    return summary.Done("recovered " + options.positional[0] + " into " + options.positional[1] + ": " +
                        std::to_string(report.blocks) + " blocks");
}

int FromRaw(const Options& options) {
    Summary summary(options);
    std::string error;
    if (!MapFromRaw(options.positional[0], options.positional[1], options.positional[2], options.map, &error)) {
        return Fail(error);
    }
    return summary.Done("wrote " + options.positional[2] + " from " + options.positional[0]);
}

int Synthetic(const Options& options) {
    Summary summary(options);
    char* end = nullptr;
    long long width = std::strtoll(options.positional[0].c_str(), &end, 10);
    if (*end != '\0' || width < 1 || width > kMaxMapColumns) return Fail("bad width " + options.positional[0]);
    long long height = std::strtoll(options.positional[1].c_str(), &end, 10);
    if (*end != '\0' || height < 1 || height > kMaxMapRows) return Fail("bad height " + options.positional[1]);
    std::string error;
    if (!SyntheticMap(int32_t(width), int32_t(height), options.positional[2], options.map, &error, Progress(options))) {
        return Fail(error);
    }
    return summary.Done("wrote " + options.positional[2] + ": a synthetic landscape of " + std::to_string(width) +
                        " x " + std::to_string(height) + " samples");
}

int Run(int argc, char** argv) {
    Options options;
    std::string text;
    switch (ParseCommandLine(argc, argv, &options, &text)) {
        case ParseOutcome::kPrinted:
            if (std::string(argv[1]) == "--version") text.pop_back(), text += " (GDAL " + std::string(GDALVersionInfo("RELEASE_NAME")) + ")\n";
            return std::fputs(text.c_str(), stdout), 0;
        case ParseOutcome::kUsageError:
            return std::fprintf(stderr, "zolva-make-map: %s", (text + (text.back() == '\n' ? "" : "\n")).c_str()), 2;
        case ParseOutcome::kRun:
            break;
    }
    const std::string& command = options.command;
    AllowUnlockedWrites(options.noLock);
    if (command == "import") return Import(options);
    if (command == "export") return Export(options);
    if (command == "info") return Info(options);
    if (command == "compact") return Compact(options);
    if (command == "recover") return Recover(options);
    if (command == "from-raw") return FromRaw(options);
    return Synthetic(options);
}

}  // namespace

// A row of blocks of a very wide map may not fit in memory; say so rather than abort.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail("out of memory: one row of blocks (320 rows of the map's width) does not fit");
    }
}
