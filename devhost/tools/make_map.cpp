// zolva-make-map: builds map files for devhost.
//
//   zolva-make-map from-raw <grid.raw> <sidecar.json> <out.map> [--type N] [--mat]
//   zolva-make-map synthetic <width> <height> <out.map> [--type N] [--mat]
//
// A raw grid is little-endian int16 metres, row-major, row 0 north, width * height
// samples and nothing else. The synthetic landscape is deterministic: the same size
// always gives the same map.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "devhost/store/map_file.h"
#include "devhost/tools/sidecar_json.h"

namespace {

// Largest grid the tool holds in memory (512 MiB of samples).
const int64_t kMaxToolSamples = int64_t(1) << 28;
// Synthetic maps sit on a 3 arc-second lattice in the Appalachians.
const double kSyntheticOriginLat = 36.5;
const double kSyntheticOriginLon = -84.0;
const double kSyntheticCellDeg = 1.0 / 1200.0;
const double kPi = 3.14159265358979323846;

struct Options {
    std::vector<std::string> positional;
    uint32_t mapType = 5;
    bool mat = false;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: zolva-make-map from-raw <grid.raw> <sidecar.json> <out.map> [--type N] [--mat]\n"
                 "       zolva-make-map synthetic <width> <height> <out.map> [--type N] [--mat]\n");
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "zolva-make-map: %s\n", message.c_str());
    return 1;
}

bool ParseInteger(const std::string& text, long long low, long long high, long long* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && *value >= low && *value <= high;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        long long type = 0;
        if (arg == "--mat") {
            options->mat = true;
        } else if (arg == "--type") {
            if (i + 1 >= argc || !ParseInteger(argv[i + 1], 0, UINT32_MAX, &type)) {
                return *error = "--type needs a number 0..4294967295", false;
            }
            options->mapType = static_cast<uint32_t>(type);
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return *error = "unknown option " + arg, false;
        } else {
            options->positional.push_back(arg);
        }
    }
    return true;
}

bool ReadWholeFile(const std::string& path, size_t limit, std::string* bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return *error = "cannot open " + path, false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) return *error = "cannot read " + path, false;
    if (static_cast<uint64_t>(size) > limit) return *error = path + " is too large", false;
    bytes->resize(static_cast<size_t>(size));
    in.seekg(0);
    if (size > 0 && !in.read(&(*bytes)[0], size)) return *error = "cannot read " + path, false;
    return true;
}

bool WriteMap(const std::string& out, MapHeader header, const Options& options,
              const std::vector<int16_t>& grid, std::string* error) {
    header.mapType = options.mapType;
    header.mat = options.mat ? 1 : 0;
    return CreateMapFile(out, header, grid.data(), error);
}

int FromRaw(const Options& options) {
    if (options.positional.size() != 3) return Usage();
    const std::string& rawPath = options.positional[0];
    std::string text, error;
    RawGridInfo info;
    if (!ReadWholeFile(options.positional[1], kMaxSidecarBytes, &text, &error)) return Fail(error);
    if (!ParseSidecarJson(text, &info, &error)) return Fail(options.positional[1] + ": " + error);
    int64_t samples = int64_t(info.width) * info.height;
    if (samples > kMaxToolSamples) return Fail("grid of " + std::to_string(samples) + " samples is too large");
    std::string raw;
    if (!ReadWholeFile(rawPath, static_cast<size_t>(samples) * 2, &raw, &error)) {
        return Fail(error + " (expected exactly " + std::to_string(samples * 2) + " bytes)");
    }
    if (raw.size() != static_cast<size_t>(samples) * 2) {
        return Fail(rawPath + " holds " + std::to_string(raw.size()) + " bytes; width * height * 2 is " +
                    std::to_string(samples * 2));
    }
    std::vector<int16_t> grid(static_cast<size_t>(samples));
    for (size_t i = 0; i < grid.size(); ++i) {
        uint16_t lo = static_cast<unsigned char>(raw[2 * i]);
        uint16_t hi = static_cast<unsigned char>(raw[2 * i + 1]);
        grid[i] = static_cast<int16_t>(lo | hi << 8);
    }
    MapHeader header;
    header.width = info.width;
    header.height = info.height;
    header.originLat = info.originLat;
    header.originLon = info.originLon;
    header.cellLat = info.cellLat;
    header.cellLon = info.cellLon;
    if (!WriteMap(options.positional[2], header, options, grid, &error)) return Fail(error);
    return 0;
}

// Rolling ridges, a cross-grain ripple and one broad summit; metres, about 100..1500.
int16_t SyntheticHeight(int32_t row, int32_t col, int32_t width, int32_t height) {
    double x = 2.0 * kPi * col / width;
    double y = 2.0 * kPi * row / height;
    double dx = double(col) / width - 0.6;
    double dy = double(row) / height - 0.4;
    double summit = 600.0 * std::exp(-(dx * dx + dy * dy) / 0.03);
    double value = 500.0 + 250.0 * std::sin(1.5 * x) * std::cos(y) + 80.0 * std::sin(4.0 * x + 3.0 * y) + summit;
    return static_cast<int16_t>(std::lround(value));
}

int Synthetic(const Options& options) {
    if (options.positional.size() != 3) return Usage();
    long long width = 0, height = 0;
    if (!ParseInteger(options.positional[0], 1, kMaxMapColumns, &width)) return Fail("bad width " + options.positional[0]);
    if (!ParseInteger(options.positional[1], 1, kMaxMapRows, &height)) return Fail("bad height " + options.positional[1]);
    if (width * height > kMaxToolSamples) return Fail("grid is too large");
    std::vector<int16_t> grid(static_cast<size_t>(width * height));
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t c = 0; c < width; ++c) {
            grid[static_cast<size_t>(r) * width + c] = SyntheticHeight(r, c, int32_t(width), int32_t(height));
        }
    }
    MapHeader header;
    header.width = static_cast<int32_t>(width);
    header.height = static_cast<int32_t>(height);
    header.originLat = kSyntheticOriginLat;
    header.originLon = kSyntheticOriginLon;
    header.cellLat = kSyntheticCellDeg;
    header.cellLon = kSyntheticCellDeg;
    std::string error;
    if (!WriteMap(options.positional[2], header, options, grid, &error)) return Fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) return Fail(error);
    std::string command = argv[1];
    if (command == "from-raw") return FromRaw(options);
    if (command == "synthetic") return Synthetic(options);
    return Usage();
}
