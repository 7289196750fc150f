#include "mapstore/map_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "mapstore/map_compaction.h"
#include "maptools/sidecar_json.h"
#include "tests/native/test_files.h"

namespace {

namespace fs = std::filesystem;

const uint64_t kHeaderBytes = 72;
const uint64_t kBlockRecordBytes = 12 + kMapBlockBytes;
const uint64_t kCommitBytes = 32;
const uint64_t kHeaderCopyBytes = 80;  // follows the commit record of the save a map was made with

// Bitwise CRC-32C, written independently of the store's table-driven and hardware ones.
uint32_t ReferenceCrc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string TempPath(const std::string& name) { return TestFilePath("zolva_map_file_test", name); }

MapHeader SmallHeader(int32_t width, int32_t height) {
    MapHeader header;
    header.width = width;
    header.height = height;
    header.originLat = 36.73291666666667;
    header.originLon = -84.41375;
    header.cellLat = 1.0 / 1200.0;
    header.cellLon = 1.0 / 1200.0;
    return header;
}

// A block whose every sample differs from its neighbours and from other seeds' blocks.
std::vector<int16_t> PatternBlock(int seed) {
    std::vector<int16_t> block(kMapBlockSamples);
    for (int i = 0; i < kMapBlockSamples; ++i) block[i] = static_cast<int16_t>(i * 7 + seed * 1009);
    return block;
}

std::vector<int16_t> ReadOrFail(const MapFileReader& reader, int32_t code) {
    std::vector<int16_t> block(kMapBlockSamples, 12345);
    std::string error;
    EXPECT_TRUE(reader.ReadBlock(code, block.data(), &error)) << "block " << code << ": " << error;
    return block;
}

bool IsAllZero(const std::vector<int16_t>& block) {
    for (int16_t v : block) {
        if (v != 0) return false;
    }
    return true;
}

std::string JoinWarnings(const MapFileReader& reader) {
    std::string all;
    for (const std::string& w : reader.warnings()) all += w + "\n";
    return all;
}

// One committed save of the given (code, seed) blocks.
void Save(const std::string& path, const std::vector<std::pair<int32_t, int>>& blocks) {
    MapSaveSession session;
    std::string error;
    ASSERT_TRUE(session.Begin(path, &error)) << error;
    for (const auto& block : blocks) {
        ASSERT_TRUE(session.Append(block.first, PatternBlock(block.second).data(), &error)) << error;
    }
    ASSERT_TRUE(session.Commit(&error)) << error;
}

std::string EmptyMap(const std::string& name, int32_t width, int32_t height) {
    std::string path = TempPath(name);
    std::string error;
    EXPECT_TRUE(CreateMapFile(path, SmallHeader(width, height), nullptr, &error)) << error;
    return path;
}

// The file format's checksum is CRC-32C; this pins the helper the header tests use.
TEST(MapFileTest, ReferenceChecksumIsCrc32c) {
    const char text[] = "123456789";
    EXPECT_EQ(0xE3069283u, ReferenceCrc32(reinterpret_cast<const uint8_t*>(text), 9));
}

// ---- block codes ----

TEST(MapBlockCodeTest, MatchesTheHostNamingAndInverts) {
    struct Row {
        int32_t row, col, code, originRow, originCol;
    };
    const Row rows[] = {
        {0, 0, 0, 0, 0},
        {319, 319, 0, 0, 0},
        {320, 0, 100, 320, 0},
        {0, 320, 1, 0, 320},
        {640, 960, 203, 640, 960},
        {31999, 31999, 9999, 31680, 31680},
        {32000, 0, 1000000, 32000, 0},
        {0, 32000, 10000, 0, 32000},
        {100000, 200000, 3061225, 99840, 200000},
        {kMaxMapRows - 1, kMaxMapColumns - 1, 20999999, 671680, 3199680},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.code, MapBlockCode(r.row, r.col)) << "row " << r.row << " col " << r.col;
        int32_t row = -1, col = -1;
        ASSERT_TRUE(MapBlockOrigin(r.code, &row, &col)) << "code " << r.code;
        EXPECT_EQ(r.originRow, row) << "code " << r.code;
        EXPECT_EQ(r.originCol, col) << "code " << r.code;
        EXPECT_EQ(r.code, MapBlockCode(row, col)) << "code " << r.code;
    }
    int32_t row = 0, col = 0;
    EXPECT_FALSE(MapBlockOrigin(-1, &row, &col));
    EXPECT_EQ(-1, MapBlockCode(-1, 0));
    EXPECT_EQ(-1, MapBlockCode(0, kMaxMapColumns));
}

// ---- round trip ----

TEST(MapFileTest, RoundTripsAGridWithPartialEdgeBlocks) {
    const int32_t width = 403, height = 344;
    std::vector<int16_t> grid(static_cast<size_t>(width) * height);
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t c = 0; c < width; ++c) grid[size_t(r) * width + c] = static_cast<int16_t>(r * 37 - c * 11 + 5);
    }
    MapHeader header = SmallHeader(width, height);
    header.mapType = 10;
    header.mat = 1;
    std::string path = TempPath("round_trip.map");
    std::string error;
    ASSERT_TRUE(CreateMapFile(path, header, grid.data(), &error)) << error;

    MapFileReader reader;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    EXPECT_TRUE(reader.warnings().empty()) << JoinWarnings(reader);
    EXPECT_EQ(width, reader.header().width);
    EXPECT_EQ(height, reader.header().height);
    EXPECT_EQ(header.originLat, reader.header().originLat);
    EXPECT_EQ(header.originLon, reader.header().originLon);
    EXPECT_EQ(header.cellLat, reader.header().cellLat);
    EXPECT_EQ(header.cellLon, reader.header().cellLon);
    EXPECT_EQ(10u, reader.header().mapType);
    EXPECT_EQ(1u, reader.header().mat);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 100, 101}), reader.BlockCodes());
    for (int32_t code : reader.BlockCodes()) {
        int32_t row0 = 0, col0 = 0;
        ASSERT_TRUE(MapBlockOrigin(code, &row0, &col0));
        std::vector<int16_t> block = ReadOrFail(reader, code);
        for (int32_t r = 0; r < kMapBlockSide; ++r) {
            for (int32_t c = 0; c < kMapBlockSide; ++c) {
                bool inside = row0 + r < height && col0 + c < width;
                int16_t expected = inside ? grid[size_t(row0 + r) * width + col0 + c] : 0;
                ASSERT_EQ(expected, block[size_t(r) * kMapBlockSide + c]) << "code " << code << " r " << r << " c " << c;
            }
        }
    }
    EXPECT_TRUE(IsAllZero(ReadOrFail(reader, 200))) << "a block never saved reads as zeros";
}

TEST(MapFileTest, NewestCommittedCopyWins) {
    std::string path = EmptyMap("newest.map", 960, 960);
    Save(path, {{0, 1}, {1, 2}});
    Save(path, {{0, 3}, {202, 4}});
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    EXPECT_TRUE(reader.warnings().empty()) << JoinWarnings(reader);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 202}), reader.BlockCodes());
    EXPECT_EQ(PatternBlock(3), ReadOrFail(reader, 0));
    EXPECT_EQ(PatternBlock(2), ReadOrFail(reader, 1));
    EXPECT_EQ(PatternBlock(4), ReadOrFail(reader, 202));
    EXPECT_FALSE(reader.HasBlock(100));
}

// A block wholly outside the grid holds no sample of the map: appending it writes nothing
// and succeeds. A failed append makes the whole save fail, leaving the file untouched.
TEST(MapFileTest, SavesAreAllOrNothingAndSkipBlocksOutsideTheGrid) {
    std::string path = EmptyMap("outside.map", 403, 344);
    Save(path, {{0, 1}});
    const std::vector<uint8_t> before = ReadBytes(path);
    std::string error;
    {
        MapSaveSession session;
        ASSERT_TRUE(session.Begin(path, &error)) << error;
        for (int32_t code : {2, 200, 10000, 1000000}) {
            EXPECT_TRUE(session.Append(code, PatternBlock(0).data(), &error)) << "code " << code << ": " << error;
        }
        EXPECT_EQ(0u, session.written());
        EXPECT_TRUE(session.Commit(&error)) << error;
    }
    EXPECT_EQ(before, ReadBytes(path)) << "a save of nothing writes nothing";

    MapSaveSession session;
    ASSERT_TRUE(session.Begin(path, &error)) << error;
    ASSERT_TRUE(session.Append(101, PatternBlock(5).data(), &error)) << error;
    EXPECT_FALSE(session.Append(-1, PatternBlock(0).data(), &error));
    EXPECT_FALSE(session.Append(100, PatternBlock(6).data(), &error)) << "the save has already failed";
    EXPECT_FALSE(session.Commit(&error));
    EXPECT_NE(std::string::npos, error.find("nothing was written")) << error;
    EXPECT_EQ(before, ReadBytes(path));
}

// An edge block is stored with 0 in its cells outside the grid, whatever the caller's
// copy holds there, by a new map and by a save alike.
TEST(MapFileTest, CellsOutsideTheGridAreStoredAsZero) {
    const int32_t width = 403, height = 344;  // block 101 holds 24 rows and 83 columns
    for (bool newMap : {true, false}) {
        std::string path = EmptyMap("edge_cells.map", width, height);
        std::string error;
        if (newMap) {
            MapFileBuilder builder;
            ASSERT_TRUE(builder.Begin(path, SmallHeader(width, height), &error)) << error;
            ASSERT_TRUE(builder.Add(101, PatternBlock(3).data(), &error)) << error;
            ASSERT_TRUE(builder.Finish(&error)) << error;
        } else {
            Save(path, {{101, 3}});
        }
        MapFileReader reader;
        ASSERT_TRUE(reader.Open(path, &error)) << error;
        const std::vector<int16_t> pattern = PatternBlock(3);
        std::vector<int16_t> block = ReadOrFail(reader, 101);
        for (int32_t r = 0; r < kMapBlockSide; ++r) {
            for (int32_t c = 0; c < kMapBlockSide; ++c) {
                size_t i = size_t(r) * kMapBlockSide + c;
                bool inside = 320 + r < height && 320 + c < width;
                ASSERT_EQ(inside ? pattern[i] : 0, block[i]) << (newMap ? "new map" : "save") << ", r " << r << " c " << c;
            }
        }
    }
}

// Saving blocks identical to their newest stored copies adds nothing to the file.
TEST(MapFileTest, UnchangedBlocksAreNotWrittenAgain) {
    std::string path = EmptyMap("unchanged.map", 700, 700);
    Save(path, {{0, 1}, {1, 2}});
    const uint64_t size = fs::file_size(path);
    Save(path, {{0, 1}, {1, 2}});
    EXPECT_EQ(size, fs::file_size(path));
    Save(path, {{0, 1}, {1, 3}});
    EXPECT_EQ(size + kBlockRecordBytes + kCommitBytes, fs::file_size(path)) << "only the changed block";
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    EXPECT_EQ(PatternBlock(1), ReadOrFail(reader, 0));
    EXPECT_EQ(PatternBlock(3), ReadOrFail(reader, 1));
}

// A save can continue an open reader's view instead of reading the file's history again,
// and the reader then takes the save in; the result is what opening the file anew shows.
// When another save was committed behind the reader, the save is refused, naming that,
// and writes nothing, so the other save is never overwritten; reopened, the reader saves.
TEST(MapFileTest, SavesContinueAReadersViewOfTheFile) {
    for (bool changedBehind : {false, true}) {
        std::string path = EmptyMap("continued.map", 960, 960);
        Save(path, {{0, 1}, {1, 2}});
        MapFileReader reader;
        std::string error;
        ASSERT_TRUE(reader.Open(path, &error)) << error;
        if (changedBehind) {
            Save(path, {{2, 7}});
            const std::vector<uint8_t> before = ReadBytes(path);
            MapSaveSession refused;
            EXPECT_FALSE(refused.Begin(path, reader, &error));
            EXPECT_NE(std::string::npos, error.find("saved by another program since it was opened")) << error;
            EXPECT_EQ(before, ReadBytes(path));
            ASSERT_TRUE(reader.Open(path, &error)) << error;
        }
        for (int round = 0; round < 3; ++round) {
            MapSaveSession session;
            ASSERT_TRUE(session.Begin(path, reader, &error)) << error;
            ASSERT_TRUE(session.Append(0, PatternBlock(1).data(), &error)) << error;  // unchanged
            ASSERT_TRUE(session.Append(100 + round, PatternBlock(10 + round).data(), &error)) << error;
            ASSERT_TRUE(session.Commit(&error)) << error;
            EXPECT_EQ(1u, session.written());
            EXPECT_TRUE(reader.TakeSave(session)) << "round " << round;
        }
        MapFileReader fresh;
        ASSERT_TRUE(fresh.Open(path, &error)) << error;
        EXPECT_EQ(fresh.BlockCodes(), reader.BlockCodes());
        for (int32_t code : fresh.BlockCodes()) EXPECT_EQ(ReadOrFail(fresh, code), ReadOrFail(reader, code)) << code;
        EXPECT_EQ(PatternBlock(12), ReadOrFail(reader, 102));
    }
}

TEST(MapFileTest, UncommittedSaveLeavesTheFileAsItWas) {
    std::string path = EmptyMap("uncommitted.map", 403, 344);
    Save(path, {{0, 1}});
    std::vector<uint8_t> before = ReadBytes(path);
    {
        MapSaveSession session;
        std::string error;
        ASSERT_TRUE(session.Begin(path, &error)) << error;
        ASSERT_TRUE(session.Append(1, PatternBlock(2).data(), &error)) << error;
    }
    EXPECT_EQ(before, ReadBytes(path));
}

TEST(MapFileTest, RecordsOutsideTheGridAreIgnoredWithAWarning) {
    std::string path = EmptyMap("shrunk.map", 700, 700);
    Save(path, {{0, 1}, {2, 2}, {200, 3}});
    // Shrink the header's grid to one block, keeping its checksum right.
    std::vector<uint8_t> bytes = ReadBytes(path);
    const int32_t side = 320;
    std::memcpy(&bytes[16], &side, 4);
    std::memcpy(&bytes[20], &side, 4);
    uint32_t crc = ReferenceCrc32(bytes.data(), 68);
    std::memcpy(&bytes[68], &crc, 4);
    WriteBytes(path, bytes);

    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    EXPECT_EQ((std::vector<int32_t>{0}), reader.BlockCodes());
    ASSERT_EQ(2u, reader.warnings().size()) << JoinWarnings(reader);
    EXPECT_NE(std::string::npos, reader.warnings()[0].find("block 2 ")) << JoinWarnings(reader);
    EXPECT_NE(std::string::npos, reader.warnings()[1].find("outside")) << JoinWarnings(reader);
}

// ---- hostile headers ----

TEST(MapFileTest, RefusesHostileHeadersClearly) {
    std::string valid = EmptyMap("valid_header.map", 403, 344);
    const std::vector<uint8_t> good = ReadBytes(valid);
    ASSERT_EQ(kHeaderBytes, good.size());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char* name;
        size_t keep;      // bytes of the header kept
        size_t offset;    // field patched (0: none)
        uint64_t bits;    // new field value
        size_t width;     // 4 or 8 bytes
        bool fixCrc;
        const char* expected;
    };
    auto f64 = [](double v) { uint64_t b; std::memcpy(&b, &v, 8); return b; };
    const Row rows[] = {
        {"empty file", 0, 0, 0, 4, false, "truncated header"},
        {"five bytes", 5, 0, 0, 4, false, "truncated header"},
        {"cut in the fields", 40, 0, 0, 4, false, "truncated header"},
        {"wrong magic", 72, 0, 0x4B4E554A, 4, true, "wrong magic number"},
        {"future version", 72, 8, 3, 4, true, "unknown format version 3"},
        {"wrong header size", 72, 12, 4096, 4, true, "header size"},
        {"damaged header", 72, 24, 12345, 4, false, "header checksum"},
        {"zero width", 72, 16, 0, 4, true, "impossible width 0"},
        {"negative width", 72, 16, 0xFFFFFFFF, 4, true, "impossible width -1"},
        {"huge width", 72, 16, uint64_t(kMaxMapColumns) + 1, 4, true, "impossible width"},
        {"zero height", 72, 20, 0, 4, true, "impossible height 0"},
        {"huge height", 72, 20, uint64_t(kMaxMapRows) + 1, 4, true, "impossible height"},
        {"most negative height", 72, 20, 0x80000000, 4, true, "impossible height"},
        {"zero cell lat", 72, 40, f64(0.0), 8, true, "north-south"},
        {"negative cell lat", 72, 40, f64(-1.0), 8, true, "north-south"},
        {"NaN cell lat", 72, 40, f64(nan), 8, true, "north-south"},
        {"infinite cell lon", 72, 48, f64(inf), 8, true, "east-west"},
        {"NaN cell lon", 72, 48, f64(nan), 8, true, "east-west"},
        {"infinite origin", 72, 24, f64(-inf), 8, true, "origin"},
    };
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + row.keep);
        if (row.keep == kHeaderBytes) {
            std::memcpy(&bytes[row.offset], &row.bits, row.width);
            if (row.fixCrc) {
                uint32_t crc = ReferenceCrc32(bytes.data(), 68);
                std::memcpy(&bytes[68], &crc, 4);
            }
        }
        std::string path = TempPath("hostile.map");
        WriteBytes(path, bytes);
        MapFileReader reader;
        std::string error;
        EXPECT_FALSE(reader.Open(path, &error)) << row.name;
        EXPECT_NE(std::string::npos, error.find(row.expected)) << row.name << ": " << error;
        EXPECT_EQ(0, reader.header().width) << row.name;
        EXPECT_TRUE(reader.BlockCodes().empty()) << row.name;
        MapSaveSession session;
        EXPECT_FALSE(session.Begin(path, &error)) << row.name;
    }
}

TEST(MapFileTest, CreateRefusesImpossibleHeaders) {
    MapHeader headers[4] = {SmallHeader(0, 10), SmallHeader(10, kMaxMapRows + 1), SmallHeader(10, 10),
                            SmallHeader(10, 10)};
    headers[2].cellLat = 0.0;
    headers[3].cellLon = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < 4; ++i) {
        std::string path = TempPath("refused.map");
        fs::remove(path);
        std::string error;
        EXPECT_FALSE(CreateMapFile(path, headers[i], nullptr, &error)) << "header " << i;
        EXPECT_FALSE(error.empty()) << "header " << i;
        EXPECT_FALSE(fs::exists(path)) << "header " << i;
    }
}

// ---- torn saves and damage ----

// The state every earlier save left: block 0 from seed 1, nothing else.
void ExpectFirstSaveOnly(const std::string& path, uint64_t length) {
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << "cut at " << length << ": " << error;
    ASSERT_EQ((std::vector<int32_t>{0}), reader.BlockCodes()) << "cut at " << length;
    ASSERT_EQ(PatternBlock(1), ReadOrFail(reader, 0)) << "cut at " << length;
    ASSERT_EQ(1u, reader.warnings().size()) << "cut at " << length << "\n" << JoinWarnings(reader);
    ASSERT_NE(std::string::npos, reader.warnings()[0].find("incomplete save")) << reader.warnings()[0];
}

// Whether a cut at `offset` into the last session is tried: every byte of each record
// header, of the last bytes of each record's samples and of the commit record, and a
// stride through the rest of the samples.
bool CutTried(uint64_t offset, uint64_t sessionBytes) {
    const uint64_t kDense = 64;
    const uint64_t kStride = 509;
    if (offset + kCommitBytes + kDense >= sessionBytes) return true;
    uint64_t within = offset % kBlockRecordBytes;
    return within < kDense || within + kDense >= kBlockRecordBytes || within % kStride == 0;
}

TEST(MapFileTest, SaveTornAtAnyPointReadsAsTheSaveBefore) {
    std::string path = EmptyMap("torn.map", 403, 344);
    Save(path, {{0, 1}});
    const uint64_t committed = fs::file_size(path);
    Save(path, {{0, 2}, {101, 3}});
    const uint64_t full = fs::file_size(path);
    ASSERT_EQ(committed + 2 * kBlockRecordBytes + kCommitBytes, full);

    std::string copy = TempPath("torn_copy.map");
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
    int tried = 0;
    // Cutting a copy shorter step by step, so no cut rewrites the file.
    for (uint64_t length = full - 1; length > committed; --length) {
        if (!CutTried(length - committed, full - committed)) continue;
        fs::resize_file(copy, length);
        ExpectFirstSaveOnly(copy, length);
        if (HasFatalFailure()) return;
        ++tried;
    }
    EXPECT_GT(tried, 1000);
    // Torn between the save's two barriers: the file already reaches over the commit
    // record's place, which still holds zeros.
    std::vector<uint8_t> bytes = ReadBytes(path);
    std::fill(bytes.end() - kCommitBytes, bytes.end(), 0);
    WriteBytes(copy, bytes);
    ExpectFirstSaveOnly(copy, full);
    fs::resize_file(copy, committed);
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(copy, &error)) << error;
    EXPECT_TRUE(reader.warnings().empty()) << JoinWarnings(reader);
}

// Compacts `path` in a child process killed (SIGXFSZ) as a file it writes would grow past
// `limit` bytes: a compaction torn at that byte.
void CompactTornAt(const std::string& path, uint64_t limit) {
    if (pid_t child = fork(); child != 0) {
        waitpid(child, nullptr, 0);
        return;
    }
    MapFileReader known;
    std::string error;
    bool opened = known.Open(path, &error);
    rlimit noCore = {0, 0}, size = {limit, limit};
    setrlimit(RLIMIT_CORE, &noCore);
    setrlimit(RLIMIT_FSIZE, &size);
    _exit(opened && CompactWastefulMap(path, known, [] {}, &error) == CompactionOutcome::kCompacted ? 0 : 3);
}

// The torn-save sweep run over a compaction, cut in the header, at each record's start,
// in its header and its middle, and through the commit record and the header's copy (each
// cut is a process of its own): the name keeps the old map byte for byte until the new
// one is whole, which holds the old map's newest blocks.
TEST(MapFileTest, CompactionTornAtAnyPointLeavesTheOldMapOrTheNew) {
    std::string path = EmptyMap("torn_compaction.map", 640, 640);
    Save(path, {{0, 1}, {1, 2}, {100, 3}, {101, 4}});
    for (int round = 0; round < 3; ++round) Save(path, {{0, 10 + round}, {101, 20 + round}});
    const std::vector<uint8_t> before = ReadBytes(path);
    const uint64_t compacted = CompactMapBytes(4);
    std::vector<uint64_t> limits = {1, kHeaderBytes};
    for (uint64_t start = kHeaderBytes; start + kBlockRecordBytes < compacted; start += kBlockRecordBytes) {
        for (uint64_t within : {uint64_t(1), uint64_t(13), kBlockRecordBytes / 2}) limits.push_back(start + within);
    }
    for (uint64_t at = compacted - kCommitBytes - kHeaderCopyBytes; at <= compacted; at += 16) limits.push_back(at);  // the last: whole
    std::string copy = TempPath("torn_compaction_copy.map");
    for (uint64_t limit : limits) {
        WriteBytes(copy, before);
        CompactTornAt(copy, limit);
        for (const auto& entry : fs::directory_iterator(fs::path(copy).parent_path())) {
            if (entry.path().string().rfind(copy + ".zolva-", 0) == 0) fs::remove(entry.path());
        }
        const std::vector<uint8_t> after = ReadBytes(copy);
        ASSERT_TRUE(limit == compacted || after == before) << "torn at " << limit << ": the old map changed";
    }
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(copy, &error)) << error;
    EXPECT_EQ(compacted, fs::file_size(copy));
    EXPECT_EQ(1u, reader.saves().size());
    EXPECT_TRUE(reader.warnings().empty()) << JoinWarnings(reader);
    const std::pair<int32_t, int> newest[] = {{0, 12}, {1, 2}, {100, 3}, {101, 22}};
    for (const auto& block : newest) EXPECT_EQ(PatternBlock(block.second), ReadOrFail(reader, block.first)) << block.first;
}

TEST(MapFileTest, SaveAfterATornSaveWorks) {
    std::string path = EmptyMap("after_torn.map", 640, 640);
    Save(path, {{0, 1}});
    const uint64_t committed = fs::file_size(path);
    Save(path, {{0, 2}, {101, 3}});
    const uint64_t cuts[] = {committed + 1, committed + 12, committed + 5000, committed + kBlockRecordBytes,
                             committed + 2 * kBlockRecordBytes + 31};
    std::string copy = TempPath("after_torn_copy.map");
    for (uint64_t cut : cuts) {
        fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
        fs::resize_file(copy, cut);
        Save(copy, {{100, 4}});
        MapFileReader reader;
        std::string error;
        ASSERT_TRUE(reader.Open(copy, &error)) << error;
        EXPECT_TRUE(reader.warnings().empty()) << "cut " << cut << "\n" << JoinWarnings(reader);
        EXPECT_EQ((std::vector<int32_t>{0, 100}), reader.BlockCodes()) << "cut " << cut;
        EXPECT_EQ(PatternBlock(1), ReadOrFail(reader, 0)) << "cut " << cut;
        EXPECT_EQ(PatternBlock(4), ReadOrFail(reader, 100)) << "cut " << cut;
        EXPECT_EQ(committed + kBlockRecordBytes + kCommitBytes, fs::file_size(copy)) << "cut " << cut;
    }
}

// Three saves: block 0 = seed 1; block 0 = seed 2 and block 1 = seed 5; block 100 = seed 3.
// Each row damages one byte and names what a reader must then see.
TEST(MapFileTest, DamageCostsOnlyWhatItTouches) {
    std::string path = EmptyMap("damage.map", 700, 700);
    Save(path, {{0, 1}});
    const uint64_t second = fs::file_size(path);
    Save(path, {{0, 2}, {1, 5}});
    const uint64_t third = fs::file_size(path);
    Save(path, {{100, 3}});
    const uint64_t end = fs::file_size(path);
    const std::vector<uint8_t> good = ReadBytes(path);
    struct Row {
        const char* name;
        uint64_t offset;
        int block0Seed;    // 0: absent
        bool hasBlock1;
        bool hasBlock100;
        const char* warning;
    };
    const Row rows[] = {
        {"sample of the newer copy", second + 12 + 999, 1, true, true, "another saved copy of block 0 is read instead"},
        {"sample of the only copy", second + kBlockRecordBytes + 12 + 70000, 2, false, true,
         "block 1 has no other readable copy, so reading it fails"},
        {"block tag", second, 1, false, true, "damaged save data"},
        {"block code", second + 5, 1, false, true, "damaged save data"},
        {"block checksum field", second + kBlockRecordBytes + 9, 1, false, true, "damaged save data"},
        {"commit tag", third - kCommitBytes, 1, false, true, "damaged save data"},
        {"commit count", third - kCommitBytes + 4, 1, false, true, "damaged save data"},
        {"commit checksum", third - 1, 1, false, true, "damaged save data"},
        {"last commit", end - 20, 2, true, false, "to the end ignored"},
    };
    std::string copy = TempPath("damage_copy.map");
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes = good;
        bytes[row.offset] ^= 0x10;
        WriteBytes(copy, bytes);
        MapFileReader reader;
        std::string error;
        ASSERT_TRUE(reader.Open(copy, &error)) << row.name << ": " << error;
        EXPECT_NE(std::string::npos, JoinWarnings(reader).find(row.warning)) << row.name << "\n" << JoinWarnings(reader);
        EXPECT_EQ(PatternBlock(row.block0Seed), ReadOrFail(reader, 0)) << row.name;
        EXPECT_EQ(row.hasBlock1, reader.HasBlock(1)) << row.name;
        EXPECT_EQ(row.hasBlock100, reader.HasBlock(100)) << row.name;

        // A later save neither loses nor hides what was readable, and keeps the damaged bytes.
        Save(copy, {{101, 4}});
        MapFileReader after;
        ASSERT_TRUE(after.Open(copy, &error)) << row.name << ": " << error;
        EXPECT_EQ(PatternBlock(row.block0Seed), ReadOrFail(after, 0)) << row.name;
        EXPECT_EQ(row.hasBlock1, after.HasBlock(1)) << row.name;
        EXPECT_EQ(row.hasBlock100, after.HasBlock(100)) << row.name;
        EXPECT_EQ(PatternBlock(4), ReadOrFail(after, 101)) << row.name;
        std::vector<uint8_t> saved = ReadBytes(copy);
        ASSERT_GE(saved.size(), bytes.size()) << row.name;
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), saved.begin())) << row.name;
    }
}

// The save written when a map was made is never a torn save: damage to it costs only the
// blocks it touches, never the whole first save, and a block without a readable copy is
// reported as unreadable rather than passed off as sea level.
TEST(MapFileTest, DamageToTheFirstSaveCostsOnlyTheBlocksItTouches) {
    const int32_t side = 700;  // 3 x 3 blocks
    std::vector<int16_t> grid(size_t(side) * side);
    for (size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<int16_t>(i % 9000 + 1);
    std::string path = TempPath("made.map");
    std::string error;
    ASSERT_TRUE(CreateMapFile(path, SmallHeader(side, side), grid.data(), &error)) << error;
    const std::vector<uint8_t> good = ReadBytes(path);
    const uint64_t commit = kHeaderBytes + 9 * kBlockRecordBytes;
    ASSERT_EQ(commit + kCommitBytes + kHeaderCopyBytes, good.size());
    const struct {
        const char* name;
        uint64_t flip;     // byte to damage, or 0
        uint64_t cut;      // length to cut the file to, or 0
        std::vector<int32_t> lost;
    } rows[] = {
        {"code of the first block", kHeaderBytes + 4, 0, {0}},
        {"a sample of block 101", kHeaderBytes + 4 * kBlockRecordBytes + 5000, 0, {101}},
        {"the commit record", commit + 30, 0, {}},
        {"cut inside block 102", 0, kHeaderBytes + 5 * kBlockRecordBytes + 100, {102, 200, 201, 202}},
    };
    std::string copy = TempPath("made_copy.map");
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes = good;
        if (row.flip != 0) bytes[row.flip] ^= 0x40;
        if (row.cut != 0) bytes.resize(row.cut);
        WriteBytes(copy, bytes);
        for (int pass = 0; pass < 2; ++pass) {
            MapFileReader reader;
            ASSERT_TRUE(reader.Open(copy, &error)) << row.name << ": " << error;
            // Every row damages something, and all damage is reported, even where it costs nothing.
            EXPECT_FALSE(reader.warnings().empty()) << row.name;
            for (int32_t code : {0, 1, 2, 100, 101, 102, 200, 201, 202}) {
                bool lost = std::find(row.lost.begin(), row.lost.end(), code) != row.lost.end();
                std::vector<int16_t> block(kMapBlockSamples, 7);
                EXPECT_EQ(!lost, reader.ReadBlock(code, block.data(), &error)) << row.name << ", block " << code;
                if (lost) {
                    EXPECT_NE(std::string::npos, error.find("readable")) << error;
                }
                EXPECT_EQ(lost, IsAllZero(block)) << row.name << ", block " << code;
            }
            // Saving afterwards stays visible, the damaged bytes kept.
            if (pass == 0) Save(copy, {{1, 4}});
        }
        MapFileReader after;
        ASSERT_TRUE(after.Open(copy, &error)) << error;
        EXPECT_EQ(PatternBlock(4), ReadOrFail(after, 1)) << row.name;
    }
}

// A one-pass reader checks each copy as it reads it: a damaged newest copy gives way to
// the one before, as it does when every block is checked on opening.
TEST(MapFileTest, OnePassReadingFallsBackToThePreviousCopy) {
    std::string path = EmptyMap("one_pass.map", 403, 344);
    Save(path, {{0, 1}});
    const uint64_t second = fs::file_size(path);
    Save(path, {{0, 2}, {1, 3}});
    std::vector<uint8_t> bytes = ReadBytes(path);
    bytes[second + 12 + 999] ^= 0x10;                      // the newer copy of block 0
    bytes[second + kBlockRecordBytes + 12 + 5] ^= 0x10;    // the only copy of block 1
    WriteBytes(path, bytes);
    MapFileReader checked, onePass;
    std::string error;
    ASSERT_TRUE(checked.Open(path, &error)) << error;
    ASSERT_TRUE(onePass.OpenForOnePass(path, &error)) << error;
    EXPECT_EQ(PatternBlock(1), ReadOrFail(onePass, 0));
    EXPECT_EQ(ReadOrFail(checked, 0), ReadOrFail(onePass, 0));
    std::vector<int16_t> block(kMapBlockSamples);
    EXPECT_FALSE(onePass.ReadBlock(1, block.data(), &error));
    EXPECT_FALSE(checked.ReadBlock(1, block.data(), &error));
}

// Whatever one damaged byte hits, a one-pass reader gives each block exactly what a
// reader that checked everything on opening gives: the same samples, or a refusal.
TEST(MapFileTest, OnePassReadingRefusesWhatCheckedReadingRefuses) {
    const int32_t width = 403, height = 344;  // blocks 0, 1, 100, 101, made in that order
    std::vector<int16_t> grid(size_t(width) * height);
    for (size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<int16_t>(i % 5000 + 1);
    std::string path = TempPath("one_pass_damage.map");
    std::string error;
    ASSERT_TRUE(CreateMapFile(path, SmallHeader(width, height), grid.data(), &error)) << error;
    const std::vector<uint8_t> good = ReadBytes(path);
    const struct {
        const char* name;
        uint64_t offset;
        uint8_t flip;
    } rows[] = {
        {"code of block 0 outside the grid", kHeaderBytes + 4, 0xFF},
        {"code of block 0 naming block 1", kHeaderBytes + 4, 0x01},
        {"code of block 1 naming block 0", kHeaderBytes + kBlockRecordBytes + 4, 0x01},
        {"checksum of block 100", kHeaderBytes + 2 * kBlockRecordBytes + 9, 0x20},
        {"a sample of block 101", kHeaderBytes + 3 * kBlockRecordBytes + 12 + 777, 0x04},
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes = good;
        bytes[row.offset] ^= row.flip;
        WriteBytes(path, bytes);
        MapFileReader checked, onePass;
        ASSERT_TRUE(checked.Open(path, &error)) << row.name << ": " << error;
        ASSERT_TRUE(onePass.OpenForOnePass(path, &error)) << row.name << ": " << error;
        int refused = 0;
        for (int32_t code : {0, 1, 100, 101}) {
            std::vector<int16_t> a(kMapBlockSamples, 7), b(kMapBlockSamples, 9);
            bool okChecked = checked.ReadBlock(code, a.data(), &error);
            bool okOnePass = onePass.ReadBlock(code, b.data(), &error);
            EXPECT_EQ(okChecked, okOnePass) << row.name << ", block " << code << ": " << error;
            EXPECT_TRUE(a == b) << row.name << ", block " << code;
            refused += okChecked ? 0 : 1;
        }
        EXPECT_EQ(1, refused) << row.name << ": one damaged byte costs one block";
    }
}

// A warning names a damaged record by where it lies, never by a block code the damage
// made up, and says what reading then does.
TEST(MapFileTest, WarningsSayWhereTheDamageIsAndWhatReadingDoes) {
    std::vector<int16_t> grid(size_t(403) * 344, 100);
    std::string path = TempPath("warnings.map");
    std::string error;
    const struct {
        const char* name;
        uint64_t offset;
        uint8_t flip;
        bool savedAgain;  // block 0 saved again after the map was made
        const char* warning;
        const char* absent;
    } rows[] = {
        {"code outside the grid", kHeaderBytes + 4, 0xFF, false, "the block record at offset 72 is damaged", "255"},
        {"sample, no other copy", kHeaderBytes + 12 + 5, 0x01, false,
         "block 0 at offset 84 fails its checksum; block 0 has no other readable copy, so reading it fails", "zeros"},
        {"sample, saved again", kHeaderBytes + 12 + 5, 0x01, true,
         "block 0 at offset 84 fails its checksum; another saved copy of block 0 is read instead", "zeros"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(CreateMapFile(path, SmallHeader(403, 344), grid.data(), &error)) << error;
        if (row.savedAgain) Save(path, {{0, 4}});
        std::vector<uint8_t> bytes = ReadBytes(path);
        bytes[row.offset] ^= row.flip;
        WriteBytes(path, bytes);
        MapFileReader reader;
        ASSERT_TRUE(reader.Open(path, &error)) << row.name << ": " << error;
        std::string warnings = JoinWarnings(reader);
        EXPECT_NE(std::string::npos, warnings.find(row.warning)) << row.name << "\n" << warnings;
        EXPECT_EQ(std::string::npos, warnings.find(row.absent)) << row.name << "\n" << warnings;
        std::vector<int16_t> block(kMapBlockSamples);
        EXPECT_EQ(row.savedAgain, reader.ReadBlock(0, block.data(), &error)) << row.name;
    }
}

TEST(MapFileTest, AFileWithNoReadableDataIsRefused) {
    std::vector<int16_t> grid(320 * 320, 100);
    std::string path = TempPath("unreadable.map");
    std::string error;
    ASSERT_TRUE(CreateMapFile(path, SmallHeader(320, 320), grid.data(), &error)) << error;
    std::vector<uint8_t> bytes = ReadBytes(path);
    bytes[kHeaderBytes + 12 + 77] ^= 0x01;
    WriteBytes(path, bytes);
    MapFileReader reader;
    EXPECT_FALSE(reader.Open(path, &error));
    EXPECT_NE(std::string::npos, error.find("no readable data")) << error;
}

// The reader keeps its file: renaming it away and putting another map in its place does
// not change what it reads.
TEST(MapFileTest, ReaderKeepsReadingTheFileItOpened) {
    std::string path = EmptyMap("kept.map", 640, 640);
    Save(path, {{1, 1}});
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    fs::rename(path, path + ".away");
    EmptyMap("kept.map", 640, 640);
    Save(path, {{1, 2}});
    EXPECT_EQ(PatternBlock(1), ReadOrFail(reader, 1));
}

TEST(MapFileTest, ReadBlockCatchesDamageAfterOpening) {
    std::string path = EmptyMap("late_damage.map", 403, 344);
    Save(path, {{1, 1}});
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    std::vector<uint8_t> bytes = ReadBytes(path);
    bytes[kHeaderBytes + 12 + 4321] ^= 0x01;
    WriteBytes(path, bytes);
    std::vector<int16_t> block(kMapBlockSamples, 7);
    EXPECT_FALSE(reader.ReadBlock(1, block.data(), &error));
    EXPECT_NE(std::string::npos, error.find("checksum")) << error;
    EXPECT_TRUE(IsAllZero(block));
}

TEST(MapFileTest, GarbageAfterTheLastSaveIsKeptAndSkipped) {
    std::string path = EmptyMap("garbage.map", 640, 640);
    Save(path, {{0, 1}});
    std::vector<uint8_t> bytes = ReadBytes(path);
    const size_t garbageStart = bytes.size();
    for (int i = 0; i < 1001; ++i) bytes.push_back(static_cast<uint8_t>(i * 31));
    WriteBytes(path, bytes);
    Save(path, {{1, 2}});
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    EXPECT_EQ((std::vector<int32_t>{0, 1}), reader.BlockCodes());
    EXPECT_EQ(PatternBlock(2), ReadOrFail(reader, 1));
    ASSERT_EQ(1u, reader.warnings().size()) << JoinWarnings(reader);
    EXPECT_NE(std::string::npos, reader.warnings()[0].find("offset " + std::to_string(garbageStart)))
        << reader.warnings()[0];
}

// ---- the committed sample map ----

TEST(SampleMapTest, JacksboroMapHoldsTheRawGrid) {
    const std::string dir = ZOLVA_SAMPLES_DIR;
    std::vector<uint8_t> raw = ReadBytes(dir + "/jacksboro_tn_3s.raw");
    ASSERT_EQ(size_t(403) * 344 * 2, raw.size());
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir + "/jacksboro.map", &error)) << error;
    EXPECT_TRUE(reader.warnings().empty()) << JoinWarnings(reader);
    ASSERT_EQ(403, reader.header().width);
    ASSERT_EQ(344, reader.header().height);
    EXPECT_NEAR(36.73291666666667, reader.header().originLat, 1e-12);
    EXPECT_NEAR(-84.41375, reader.header().originLon, 1e-12);
    EXPECT_NEAR(1.0 / 1200.0, reader.header().cellLat, 1e-15);
    for (int32_t code : {0, 1, 100, 101}) {
        int32_t row0 = 0, col0 = 0;
        ASSERT_TRUE(MapBlockOrigin(code, &row0, &col0));
        std::vector<int16_t> block = ReadOrFail(reader, code);
        for (int32_t r = 0; r < kMapBlockSide && row0 + r < 344; ++r) {
            for (int32_t c = 0; c < kMapBlockSide && col0 + c < 403; ++c) {
                size_t i = (size_t(row0 + r) * 403 + col0 + c) * 2;
                int16_t expected = static_cast<int16_t>(raw[i] | raw[i + 1] << 8);
                ASSERT_EQ(expected, block[size_t(r) * kMapBlockSide + c]) << "row " << row0 + r << " col " << col0 + c;
            }
        }
    }
}

// ---- the raw grid sidecar ----

std::string Grid(int width, int height, double lat, double lon, double cellX, double cellY) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "{\"width\": %d, \"height\": %d, \"origin_lat\": %.17g, \"origin_lon\": %.17g, "
                  "\"cell_size_deg_x\": %.17g, \"cell_size_deg_y\": %.17g}",
                  width, height, lat, lon, cellX, cellY);
    return text;
}

TEST(SidecarJsonTest, AcceptsOnlyFlatObjectsWithTheGridNumbers) {
    const std::string keys =
        "\"width\": 403, \"height\": 344, \"origin_lat\": 36.5, \"origin_lon\": -84.25, "
        "\"cell_size_deg_x\": 8.3e-4, \"cell_size_deg_y\": 0.0005";
    struct Row {
        std::string text;
        const char* error;  // nullptr: accepted
    };
    const Row rows[] = {
        {"{" + keys + "}", nullptr},
        {"{\"name\": \"a \\\"q\\\" \\u00e9\", \"ok\": true, \"n\": null, " + keys + "}\n", nullptr},
        {"{" + keys + ", \"nested\": {\"a\": 1}}", "nested"},
        {"{" + keys + ", \"list\": [1]}", "nested"},
        {"{" + keys + ", \"width\": 5}", "duplicate key"},
        {"{" + keys + "} x", "text after"},
        {"{" + keys, "expected '}'"},
        {"{\"width\": 403}", "missing number \"height\""},
        {"{\"width\": \"403\", \"height\": 344, \"origin_lat\": 1, \"origin_lon\": 1, "
         "\"cell_size_deg_x\": 1, \"cell_size_deg_y\": 1}", "missing number \"width\""},
        {"{\"width\": 40.5, \"height\": 344, \"origin_lat\": 1, \"origin_lon\": 1, "
         "\"cell_size_deg_x\": 1, \"cell_size_deg_y\": 1}", "width is not"},
        {"{\"width\": 0, \"height\": 344, \"origin_lat\": 1, \"origin_lon\": 1, "
         "\"cell_size_deg_x\": 1, \"cell_size_deg_y\": 1}", "width is not"},
        {"{\"width\": 01, " + keys.substr(14) + "}", "expected"},
        {"{\"width\": 1e999, " + keys.substr(14) + "}", "out of range"},
        {"{\"width\": -, " + keys.substr(14) + "}", "bad number"},
        {"{\"width\": .5, " + keys.substr(14) + "}", "bad number"},
        {"{\"a\": \"\\x\"}", "bad escape"},
        {"{\"a\": \"open", "unterminated"},
        {"", "expected '{'"},
        {std::string(kMaxSidecarBytes + 1, ' '), "larger than"},
        // Grids that are not on the globe.
        {Grid(403, 344, 91, -84.25, 1e-3, 1e-3), "origin latitude 91 is outside"},
        {Grid(403, 344, 36.5, -180.5, 1e-3, 1e-3), "origin longitude -180.5 is outside"},
        {Grid(403, 344, 36.5, -84.25, 0, 1e-3), "cell size 0 degrees is not plausible"},
        {Grid(403, 344, 36.5, -84.25, 1e-3, -1e-3), "cell size -0.001 degrees"},
        {Grid(403, 344, 36.5, -84.25, 5, 5), "cell size 5 degrees"},
        {Grid(403, 344, 36.5, -84.25, 1e-12, 1e-3), "cell size 1e-12 degrees"},
        {Grid(403, 344, -89.9, -84.25, 1e-3, 1e-3), "past the south pole"},
        {Grid(403, 344, 36.5, 179.9, 1e-3, 1e-3), "past 180"},
        {Grid(360, 180, 90, -180, 1, 1), nullptr},
    };
    for (const Row& row : rows) {
        RawGridInfo info;
        std::string error;
        bool ok = ParseSidecarJson(row.text, &info, &error);
        EXPECT_EQ(row.error == nullptr, ok) << row.text.substr(0, 80) << ": " << error;
        if (row.error != nullptr) {
            EXPECT_NE(std::string::npos, error.find(row.error)) << row.text.substr(0, 80) << ": " << error;
            continue;
        }
        if (info.width == 360) continue;  // the whole globe, accepted
        EXPECT_EQ(403, info.width);
        EXPECT_EQ(344, info.height);
        EXPECT_EQ(36.5, info.originLat);
        EXPECT_EQ(-84.25, info.originLon);
        EXPECT_EQ(8.3e-4, info.cellLon);
        EXPECT_EQ(0.0005, info.cellLat);
    }
}

}  // namespace
