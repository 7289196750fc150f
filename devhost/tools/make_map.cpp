// zolva-make-map: builds, converts and inspects map files for devhost.
//
//   zolva-make-map import <src> <out.map> [--type N] [--mat] [--band B] [--reproject]
//                         [--fill-voids | --void-value V]
//   zolva-make-map export <in.map> <out> [--format F]
//   zolva-make-map info <in.map>
//   zolva-make-map compact <in.map> [<out.map>] [--drop-damaged]
//   zolva-make-map recover <in.map> <out.map> [--georef SIDECAR.json [--type N] [--mat]]
//   zolva-make-map from-raw <grid.raw> <sidecar.json> <out.map> [--type N] [--mat]
//   zolva-make-map synthetic <width> <height> <out.map> [--type N] [--mat]
//
// Every command streams by rows of blocks, so memory follows a map's width, not its area.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "devhost/store/map_file.h"
#include "devhost/tools/gdal_export.h"
#include "devhost/tools/gdal_import.h"
#include "devhost/tools/map_commands.h"
#include "devhost/tools/map_recover.h"

namespace {

struct Options {
    std::vector<std::string> positional;
    NewMapOptions map;
    ImportOptions import;
    bool dropDamaged = false;
    std::string georef;
    std::string format = kDefaultExportFormat;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: zolva-make-map import <src> <out.map> [--type N] [--mat] [--band B] [--reproject]\n"
                 "                             [--fill-voids | --void-value V]\n"
                 "       zolva-make-map export <in.map> <out> [--format F]   (a GDAL driver, default GTiff, or raw)\n"
                 "       zolva-make-map info <in.map>\n"
                 "       zolva-make-map compact <in.map> [<out.map>] [--drop-damaged]\n"
                 "       zolva-make-map recover <in.map> <out.map> [--georef SIDECAR.json [--type N] [--mat]]\n"
                 "       zolva-make-map from-raw <grid.raw> <sidecar.json> <out.map> [--type N] [--mat]\n"
                 "       zolva-make-map synthetic <width> <height> <out.map> [--type N] [--mat]\n");
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "zolva-make-map: %s\n", message.c_str());
    return 1;
}

void Warn(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) std::fprintf(stderr, "zolva-make-map: warning: %s\n", warning.c_str());
}

bool ParseInteger(const std::string& text, long long low, long long high, long long* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && *value >= low && *value <= high;
}

// The value after option i, as an integer in low..high.
bool OptionInteger(int argc, char** argv, int* i, long long low, long long high, long long* value, std::string* error) {
    std::string name = argv[*i];
    if (*i + 1 >= argc || !ParseInteger(argv[*i + 1], low, high, value)) {
        return *error = name + " needs a number " + std::to_string(low) + ".." + std::to_string(high), false;
    }
    ++*i;
    return true;
}

bool ParseOption(int argc, char** argv, int* i, Options* options, std::string* error) {
    std::string arg = argv[*i];
    long long value = 0;
    if (arg == "--mat") return options->map.mat = options->import.matGiven = true, true;
    if (arg == "--reproject") return options->import.reproject = true, true;
    if (arg == "--fill-voids") return options->import.fillVoids = true, true;
    if (arg == "--drop-damaged") return options->dropDamaged = true, true;
    if (arg == "--type") {
        if (!OptionInteger(argc, argv, i, 0, UINT32_MAX, &value, error)) return false;
        options->import.typeGiven = true;
        return options->map.mapType = static_cast<uint32_t>(value), true;
    }
    if (arg == "--band") {
        if (!OptionInteger(argc, argv, i, 1, 65535, &value, error)) return false;
        return options->import.band = static_cast<int>(value), true;
    }
    if (arg == "--void-value") {
        if (!OptionInteger(argc, argv, i, -32768, 32767, &value, error)) return false;
        options->import.setVoids = true;
        return options->import.voidValue = static_cast<int16_t>(value), true;
    }
    if (arg == "--georef") {
        if (*i + 1 >= argc) return *error = "--georef needs a sidecar file", false;
        return options->georef = argv[++*i], true;
    }
    if (arg == "--format") {
        if (*i + 1 >= argc) return *error = "--format needs a GDAL driver name or raw", false;
        return options->format = argv[++*i], true;
    }
    return *error = "unknown option " + arg, false;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-') {
            if (!ParseOption(argc, argv, &i, options, error)) return false;
        } else {
            options->positional.push_back(arg);
        }
    }
    if (options->import.fillVoids && options->import.setVoids) {
        return *error = "--fill-voids and --void-value exclude each other", false;
    }
    options->import.mapType = options->map.mapType;
    options->import.mat = options->map.mat;
    return true;
}

int Import(const Options& options) {
    if (options.positional.size() != 2) return Usage();
    ImportReport report;
    std::string error;
    if (!ImportRaster(options.positional[0], options.positional[1], options.import, &report, &error)) return Fail(error);
    std::printf("imported %s into %s\n%s", options.positional[0].c_str(), options.positional[1].c_str(),
                DescribeImport(report).c_str());
    return 0;
}

int Export(const Options& options) {
    if (options.positional.size() != 2) return Usage();
    std::vector<std::string> written, warnings;
    std::string error;
    bool ok = ExportMap(options.positional[0], options.positional[1], options.format, &written, &warnings, &error);
    Warn(warnings);
    if (!ok) return Fail(error);
    for (const std::string& file : written) std::printf("wrote %s\n", file.c_str());
    return 0;
}

int Info(const Options& options) {
    if (options.positional.size() != 1) return Usage();
    std::string text, error;
    if (!DescribeMap(options.positional[0], &text, &error)) return Fail(error);
    std::fputs(text.c_str(), stdout);
    return 0;
}

int Compact(const Options& options) {
    if (options.positional.empty() || options.positional.size() > 2) return Usage();
    const std::string& out = options.positional.back();
    CompactReport report;
    std::string error;
    bool ok = CompactMap(options.positional[0], out, options.dropDamaged, &report, &error);
    Warn(report.warnings);
    if (!ok) return Fail(error);
    std::printf("wrote %s as one save\n", out.c_str());
    if (report.dropped > 0) {
        std::printf("dropped %llu block(s) without a readable copy; they read as sea level now:%s\n",
                    (unsigned long long)report.dropped, CodeList(report.droppedCodes, report.dropped).c_str());
    }
    return 0;
}

int Recover(const Options& options) {
    if (options.positional.size() != 2) return Usage();
    RecoverOptions recover;
    recover.georef = options.georef;
    recover.map = options.map;
    RecoverReport report;
    std::string error;
    bool ok = RecoverMap(options.positional[0], options.positional[1], recover, &report, &error);
    Warn(report.warnings);
    if (!ok) return Fail(error);
    std::printf("recovered %s into %s\n%s", options.positional[0].c_str(), options.positional[1].c_str(),
                DescribeRecovery(report).c_str());
    return 0;
}

int FromRaw(const Options& options) {
    if (options.positional.size() != 3) return Usage();
    std::string error;
    if (!MapFromRaw(options.positional[0], options.positional[1], options.positional[2], options.map, &error)) {
        return Fail(error);
    }
    return 0;
}

int Synthetic(const Options& options) {
    if (options.positional.size() != 3) return Usage();
    long long width = 0, height = 0;
    if (!ParseInteger(options.positional[0], 1, kMaxMapColumns, &width)) return Fail("bad width " + options.positional[0]);
    if (!ParseInteger(options.positional[1], 1, kMaxMapRows, &height)) return Fail("bad height " + options.positional[1]);
    std::string error;
    if (!SyntheticMap(int32_t(width), int32_t(height), options.positional[2], options.map, &error)) return Fail(error);
    return 0;
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage();
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) return Fail(error);
    std::string command = argv[1];
    if (command == "import") return Import(options);
    if (command == "export") return Export(options);
    if (command == "info") return Info(options);
    if (command == "compact") return Compact(options);
    if (command == "recover") return Recover(options);
    if (command == "from-raw") return FromRaw(options);
    if (command == "synthetic") return Synthetic(options);
    return Usage();
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
