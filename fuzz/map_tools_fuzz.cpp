// libFuzzer target: the input bytes are a map file. A one-pass reader must give every
// block exactly what a reader that checked everything on opening gives, and export and
// compaction must either write output the checked reader agrees with or fail leaving
// nothing behind; none of it may crash, hang or allocate by a stored length.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "maptools/gdal_export.h"
#include "maptools/map_commands.h"

namespace {

namespace fs = std::filesystem;

// Grids up to this many blocks are walked whole, and exported and compacted.
const uint64_t kWalkedBlocks = 9;

std::string WorkFolder() {
    const char* dir = std::getenv("TMPDIR");
    fs::path folder = fs::path(dir != nullptr ? dir : "/tmp") / ("zolva_tools_fuzz_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    return folder.string();
}

uint64_t GridBlocks(const MapHeader& h) {
    return ((uint64_t(h.width) + kMapBlockSide - 1) / kMapBlockSide) * ((uint64_t(h.height) + kMapBlockSide - 1) / kMapBlockSide);
}

std::vector<int32_t> GridCodes(const MapHeader& h) {
    std::vector<int32_t> codes;
    for (int32_t row0 = 0; row0 < h.height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < h.width; col0 += kMapBlockSide) codes.push_back(MapBlockCode(row0, col0));
    }
    return codes;
}

// The block as the checked reader gives it; false when it refuses.
bool Checked(const MapFileReader& reader, int32_t code, std::vector<int16_t>* block) {
    block->assign(kMapBlockSamples, 0);
    std::string error;
    return reader.ReadBlock(code, block->data(), &error);
}

void CompareOnePass(const std::string& path, const MapFileReader& checked, bool checkedOpened,
                    const std::vector<int32_t>& codes) {
    MapFileReader onePass;
    std::string error;
    if (!onePass.OpenForOnePass(path, &error)) {
        if (checkedOpened) __builtin_trap();  // it checks less on opening, never more
        return;
    }
    std::vector<int16_t> a, b(kMapBlockSamples);
    for (int32_t code : codes) {
        bool okChecked = checkedOpened && Checked(checked, code, &a);
        bool okOnePass = onePass.ReadBlock(code, b.data(), &error);
        if (okChecked != okOnePass || (okChecked && a != b)) __builtin_trap();
    }
}

void CheckCompaction(const std::string& path, const std::string& folder, const MapFileReader& checked,
                     const std::vector<int32_t>& codes) {
    std::string out = folder + "/compact.map";
    fs::remove(out);
    std::vector<std::string> warnings;
    std::string error;
    if (!CompactMap(path, out, &warnings, &error)) {
        if (fs::exists(out)) __builtin_trap();
        return;
    }
    MapFileReader result;
    if (!result.Open(out, &error) || !result.warnings().empty()) __builtin_trap();
    std::vector<int16_t> a, b;
    for (int32_t code : codes) {
        if (!Checked(checked, code, &a) || !Checked(result, code, &b) || a != b) __builtin_trap();
    }
}

void CheckExport(const std::string& path, const std::string& folder, const MapFileReader& checked,
                 const std::vector<int32_t>& codes) {
    std::string out = folder + "/export.raw";
    fs::remove(out);
    fs::remove(folder + "/export.json");
    std::vector<std::string> written, warnings;
    std::string error;
    bool ok = ExportMap(path, out, kRawFormat, &written, &warnings, &error);
    if (ok != fs::exists(out)) __builtin_trap();
    if (!ok) return;
    const MapHeader& h = checked.header();
    if (fs::file_size(out) != uint64_t(h.width) * h.height * 2) __builtin_trap();
    std::vector<int16_t> block;
    for (int32_t code : codes) {
        if (!Checked(checked, code, &block)) __builtin_trap();  // exported as sea level
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = WorkFolder();
    const std::string path = folder + "/input.map";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;

    MapFileReader checked;
    std::string error;
    bool opened = checked.Open(path, &error);
    MapFileReader probe;
    if (!opened && !probe.OpenForOnePass(path, &error)) return 0;
    const MapHeader& header = opened ? checked.header() : probe.header();
    bool small = GridBlocks(header) <= kWalkedBlocks;
    std::vector<int32_t> codes = small ? GridCodes(header) : checked.BlockCodes();
    if (!small) {
        std::vector<int32_t> more = probe.BlockCodes();
        std::set<int32_t> all(codes.begin(), codes.end());
        all.insert(more.begin(), more.end());
        codes.assign(all.begin(), all.end());
    }
    CompareOnePass(path, checked, opened, codes);
    if (!opened || !small) return 0;
    CheckCompaction(path, folder, checked, codes);
    CheckExport(path, folder, checked, codes);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".zolva-") != std::string::npos) __builtin_trap();  // left behind
    }
    return 0;
}
