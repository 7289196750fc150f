// Writes the map files the fuzz target starts from into a folder: a map made in one piece
// with a partial edge block, the same map after two saves, and a header-only map.
#include <cstdio>
#include <string>
#include <vector>

#include "mapstore/map_file.h"

namespace {

bool Fail(const std::string& error) {
    std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
    return false;
}

bool SaveBlock(const std::string& path, int32_t code, int16_t value) {
    std::vector<int16_t> block(kMapBlockSamples, value);
    MapSaveSession session;
    std::string error;
    if (!session.Begin(path, &error) || !session.Append(code, block.data(), &error) || !session.Commit(&error)) {
        return Fail(error);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return std::fprintf(stderr, "usage: make_seeds <folder>\n"), 2;
    const std::string dir = argv[1];
    MapHeader header;
    header.width = 400;
    header.height = 30;
    header.originLat = 36.5;
    header.originLon = -84.0;
    header.cellLat = header.cellLon = 1.0 / 1200.0;
    std::vector<int16_t> grid(size_t(header.width) * header.height);
    for (size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<int16_t>(i % 700);
    std::string error;
    if (!CreateMapFile(dir + "/made.map", header, grid.data(), &error)) return Fail(error), 1;
    if (!CreateMapFile(dir + "/two-saves.map", header, grid.data(), &error)) return Fail(error), 1;
    if (!SaveBlock(dir + "/two-saves.map", 1, 250) || !SaveBlock(dir + "/two-saves.map", 0, -3)) return 1;
    if (!CreateMapFile(dir + "/header-only.map", header, nullptr, &error)) return Fail(error), 1;
    return 0;
}
