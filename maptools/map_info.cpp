// The map tool's description of a map, laid out as gdalinfo lays out a raster's:
// coordinates in longitude, latitude order, the cell size in degrees, arc-seconds and
// metres, and statistics of the samples read block by block.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <set>
#include <vector>

#include "maptools/map_commands.h"
#include "mapstore/map_file.h"

namespace {

const double kPi = 3.14159265358979323846;
// WGS 84 ellipsoid: semi-major axis (m) and first eccentricity squared.
const double kSemiMajor = 6378137.0;
const double kEccentricity2 = 0.00669437999014;

struct SampleStats {
    bool any = false;
    int16_t minimum = 0;
    int16_t maximum = 0;
    double sum = 0.0;
    uint64_t count = 0;
    uint64_t voids = 0;
    uint64_t unreadable = 0;  // blocks left out: damage left them without a readable copy
};

// Statistics of the samples inside the grid; samples equal to the void value are voids.
// A block that cannot be read is left out and counted, so a damaged map is still described.
void Statistics(const MapFileReader& reader, SampleStats* stats) {
    std::string error;
    const MapHeader& h = reader.header();
    std::vector<int16_t> block(kMapBlockSamples);
    for (int32_t row0 = 0; row0 < h.height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < h.width; col0 += kMapBlockSide) {
            if (!reader.ReadBlock(MapBlockCode(row0, col0), block.data(), &error)) {
                ++stats->unreadable;
                continue;
            }
            int32_t rows = std::min(kMapBlockSide, h.height - row0), cols = std::min(kMapBlockSide, h.width - col0);
            for (int32_t r = 0; r < rows; ++r) {
                for (int32_t c = 0; c < cols; ++c) {
                    int16_t v = block[static_cast<size_t>(r) * kMapBlockSide + c];
                    if (h.hasVoidValue && v == h.voidValue) {
                        ++stats->voids;
                        continue;
                    }
                    stats->minimum = stats->any ? std::min(stats->minimum, v) : v;
                    stats->maximum = stats->any ? std::max(stats->maximum, v) : v;
                    stats->any = true;
                    stats->sum += v;
                    ++stats->count;
                }
            }
        }
    }
}

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string Corner(const char* name, double lon, double lat) {
    return Line("  %-12s(%15.9f, %14.9f)\n", name, lon, lat);
}

std::string GeoreferenceText(const MapHeader& h) {
    double south = h.originLat - h.height * h.cellLat, east = h.originLon + h.width * h.cellLon;
    double centreLat = (h.originLat + south) / 2;
    double phi = centreLat * kPi / 180.0, s2 = std::sin(phi) * std::sin(phi);
    double normal = kSemiMajor / std::sqrt(1 - kEccentricity2 * s2);
    double meridian = kSemiMajor * (1 - kEccentricity2) / std::pow(1 - kEccentricity2 * s2, 1.5);
    std::string text = "coordinate system: WGS 84 (EPSG:4326), longitude/latitude, north-up\n";
    text += Line("origin (north-west corner): %.12g, %.12g\n", h.originLon, h.originLat);
    text += Line("cell size: %.12g x %.12g degrees (east-west x north-south)\n", h.cellLon, h.cellLat);
    text += Line("           %.6g x %.6g arc-seconds\n", h.cellLon * 3600, h.cellLat * 3600);
    text += Line("           %.3f x %.3f m at the centre (latitude %.6f)\n", h.cellLon * kPi / 180 * normal * std::cos(phi),
                 h.cellLat * kPi / 180 * meridian, centreLat);
    text += "corner coordinates (longitude, latitude):\n";
    text += Corner("upper left", h.originLon, h.originLat) + Corner("lower left", h.originLon, south) +
            Corner("upper right", east, h.originLat) + Corner("lower right", east, south) +
            Corner("centre", (h.originLon + east) / 2, centreLat);
    return text;
}

std::string SavesText(const MapFileReader& reader) {
    const std::vector<std::vector<int32_t>>& saves = reader.saves();
    std::string text = "saves: " + std::to_string(saves.size()) + "\n" + Line("  %6s  %8s\n", "save", "blocks");
    std::set<int32_t> later;
    for (size_t i = 0; i < saves.size(); ++i) {
        text += Line("  %6zu  %8zu\n", i + 1, saves[i].size());
        if (i > 0) later.insert(saves[i].begin(), saves[i].end());
    }
    std::vector<int32_t> changed(later.begin(), later.end());
    return text + "blocks saved again since the first save: " + std::to_string(changed.size()) +
           CodeList(changed, changed.size()) + "\n";
}

}  // namespace

bool DescribeMap(const std::string& in, std::string* text, std::string* error) {
    MapFileReader reader;
    if (!reader.Open(in, error)) return false;
    const MapHeader& h = reader.header();
    SampleStats stats;
    Statistics(reader, &stats);
    *text = "map: " + in + "\n";
    *text += Line("size: %d x %d samples, %d x %d blocks\n", h.width, h.height, (h.width + kMapBlockSide - 1) / kMapBlockSide,
                  (h.height + kMapBlockSide - 1) / kMapBlockSide);
    *text += Line("map type: %u, MAT: %s\n", h.mapType, h.mat != 0 ? "yes" : "no");
    *text += GeoreferenceText(h);
    *text += h.hasVoidValue ? Line("void value: %d (samples holding it are voids)\n", h.voidValue) : "void value: none\n";
    if (stats.any) {
        *text += Line("elevation (m): minimum %d, maximum %d, mean %.3f\n", stats.minimum, stats.maximum,
                      stats.sum / double(stats.count));
    }
    if (h.hasVoidValue) *text += Line("voids: %llu\n", (unsigned long long)stats.voids);
    if (stats.unreadable > 0) {
        *text += Line("statistics leave out %llu block(s) without a readable copy\n", (unsigned long long)stats.unreadable);
    }
    *text += SavesText(reader);
    *text += "warnings: " + std::to_string(reader.warnings().size()) + "\n";
    for (const std::string& warning : reader.warnings()) *text += "  " + warning + "\n";
    return true;
}
