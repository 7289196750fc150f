#include "maptools/map_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "mapstore/file_io.h"
#include "mapstore/map_file.h"
#include "maptools/map_stream.h"
#include "maptools/sidecar_json.h"

namespace {

// Synthetic maps sit on a 3 arc-second lattice in the Appalachians.
const double kSyntheticOriginLat = 36.5;
const double kSyntheticOriginLon = -84.0;
const double kSyntheticCellDeg = 1.0 / 1200.0;
const double kPi = 3.14159265358979323846;
// Block codes listed one by one in a description; beyond that only their count.
const size_t kListedCodes = 40;

using FileCloser = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

bool ReadSidecar(const std::string& path, RawGridInfo* info, std::string* error) {
    std::string why;
    FileCloser file(OpenRegularFile(path, "rb", &why), std::fclose);
    if (!file) return *error = "cannot open " + path + ": " + why, false;
    std::string text(kMaxSidecarBytes + 1, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), file.get()));
    if (std::ferror(file.get())) return *error = "cannot read " + path, false;
    if (!ParseSidecarJson(text, info, error)) return *error = path + ": " + *error, false;
    return true;
}

int64_t FileSize(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    int64_t size = ftello(file);
    return std::fseek(file, 0, SEEK_SET) == 0 ? size : -1;
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

}  // namespace

std::string CodeList(const std::vector<int32_t>& codes, uint64_t total) {
    std::string text;
    for (size_t i = 0; i < codes.size() && i < kListedCodes; ++i) text += " " + std::to_string(codes[i]);
    uint64_t listed = std::min<uint64_t>(codes.size(), kListedCodes);
    if (total > listed) text += " ... (" + std::to_string(total - listed) + " more)";
    return text;
}

bool MapFromRaw(const std::string& rawPath, const std::string& sidecarPath, const std::string& out,
                const NewMapOptions& options, std::string* error) {
    RawGridInfo info;
    if (!ReadSidecar(sidecarPath, &info, error)) return false;
    std::string why;
    FileCloser raw(OpenRegularFile(rawPath, "rb", &why), std::fclose);
    if (!raw) return *error = "cannot open " + rawPath + ": " + why, false;
    int64_t expected = int64_t(info.width) * info.height * 2;
    int64_t size = FileSize(raw.get());
    if (size != expected) {
        return *error = rawPath + " holds " + std::to_string(size) + " bytes; width * height * 2 is " +
                        std::to_string(expected),
               false;
    }
    MapHeader header;
    header.width = info.width;
    header.height = info.height;
    header.originLat = info.originLat;
    header.originLon = info.originLon;
    header.cellLat = info.cellLat;
    header.cellLon = info.cellLon;
    header.mapType = options.mapType;
    header.mat = options.mat ? 1 : 0;
    MapStreamWriter writer;
    if (!writer.Begin(out, header, error)) return false;
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * header.width);
    std::vector<uint8_t> bytes(rows.size() * 2);
    for (int32_t row0 = 0; row0 < header.height; row0 += kMapBlockSide) {
        size_t count = static_cast<size_t>(BlockRowHeight(header, row0)) * header.width;
        if (std::fread(bytes.data(), 2, count, raw.get()) != count) return *error = "cannot read " + rawPath, false;
        for (size_t i = 0; i < count; ++i) rows[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (!writer.AppendBlockRow(row0, rows.data(), error)) return false;
    }
    return writer.Finish(error);
}

bool SyntheticMap(int32_t width, int32_t height, const std::string& out, const NewMapOptions& options,
                  std::string* error, ProgressFunc progress, void* progressData) {
    MapHeader header;
    header.width = width;
    header.height = height;
    header.originLat = kSyntheticOriginLat;
    header.originLon = kSyntheticOriginLon;
    header.cellLat = kSyntheticCellDeg;
    header.cellLon = kSyntheticCellDeg;
    header.mapType = options.mapType;
    header.mat = options.mat ? 1 : 0;
    MapStreamWriter writer;
    if (!writer.Begin(out, header, error)) return false;
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * width);
    for (int32_t row0 = 0; row0 < height; row0 += kMapBlockSide) {
        int32_t count = BlockRowHeight(header, row0);
        for (int32_t r = 0; r < count; ++r) {
            for (int32_t c = 0; c < width; ++c) {
                rows[static_cast<size_t>(r) * width + c] = SyntheticHeight(row0 + r, c, width, height);
            }
        }
        if (!writer.AppendBlockRow(row0, rows.data(), error)) return false;
        if (progress != nullptr && !progress(double(row0 + count) / height, nullptr, progressData)) {
            return *error = "interrupted", false;
        }
    }
    return writer.Finish(error);
}

namespace {

// Why the damage the reader found stops a compaction, or empty when it does not.
std::string CompactRefusal(const MapFileReader& reader, const std::string& in, const CompactOptions& options,
                           CompactReport* report) {
    if (reader.VoidValueUnreadable()) {
        return in + ": the map's void value cannot be read, and the compacted map would show its voids as heights. " +
               "Nothing was written; rebuild the map with recover --void-value V (or --no-void-value)";
    }
    std::vector<int32_t> lost;
    uint64_t lostCount = reader.UnreadableBlocks(kListedCodes, &lost);
    if (lostCount > 0 && !options.dropDamaged) {
        return in + ": " + std::to_string(lostCount) + " block(s) have no readable copy, and damaged data " +
               "in the file may have held one:" + CodeList(lost, lostCount) +
               ". Nothing was written; --drop-damaged writes the other blocks without them";
    }
    const std::vector<int32_t>& older = reader.RolledBackBlocks();
    if (!older.empty() && !options.useOlderCopies) {
        return in + ": the newest copy of " + std::to_string(older.size()) + " block(s) is damaged, and compacting " +
               "would put an older copy in its place for good:" + CodeList(older, older.size()) +
               ". Nothing was written; --use-older-copies writes the older copies";
    }
    report->dropped = lostCount;
    report->droppedCodes = lost;
    report->olderCopies = older;
    return std::string();
}

}  // namespace

bool CompactMap(const std::string& in, const std::string& out, bool dropDamaged, CompactReport* report,
                std::string* error, ProgressFunc progress, void* progressData) {
    CompactOptions options;
    options.dropDamaged = dropDamaged;
    return CompactMap(in, out, options, report, error, progress, progressData);
}

bool CompactMap(const std::string& in, const std::string& out, const CompactOptions& options, CompactReport* report,
                std::string* error, ProgressFunc progress, void* progressData) {
    *report = CompactReport();
    // Locked before reading, so that no save lands between the reading and the rename.
    MapStreamWriter writer;
    if (!writer.Lock(out, error)) return false;
    MapFileReader reader;
    if (!reader.Open(in, error)) return false;
    report->warnings = reader.warnings();
    std::string refusal = CompactRefusal(reader, in, options, report);
    if (!refusal.empty()) return *error = refusal, false;
    if (!writer.Begin(out, reader.header(), error)) return false;
    std::vector<int16_t> block(kMapBlockSamples);
    const std::vector<int32_t> codes = reader.BlockCodes();
    for (int32_t code : codes) {
        if (!reader.ReadBlock(code, block.data(), error)) return *error += "; the map was left as it was", false;
        if (!writer.AppendBlock(code, block.data(), error)) return false;
        ++report->blocks;
        if (progress != nullptr && !progress(double(report->blocks) / codes.size(), nullptr, progressData)) {
            return *error = "interrupted; the map was left as it was", false;
        }
    }
    return writer.Finish(error);
}

bool CompactMap(const std::string& in, const std::string& out, std::vector<std::string>* warnings,
                std::string* error) {
    CompactReport report;
    bool ok = CompactMap(in, out, false, &report, error);
    *warnings = report.warnings;
    return ok;
}
