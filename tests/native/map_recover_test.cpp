// The tools never destroy what they were asked to save: recover never writes over its
// input, names every block it lost and takes only committed saves unless asked; compact
// never quietly rolls a block back; the void value survives damage or stops the tools;
// saves on a map cut short write nothing they do not report; killed writers' files go.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"
#include "maptools/gdal_export.h"
#include "maptools/map_commands.h"
#include "maptools/map_recover.h"
#include "tests/native/test_files.h"

namespace {

namespace fs = std::filesystem;
using mapfile::kBlockRecordBytes;
using mapfile::kCommitBytes;
using mapfile::kHeaderBytes;

std::string TempPath(const std::string& name) { return TestFilePath("zolva_map_recover_test", name); }

// A 2 x 2 block map made in one piece, its samples `base` + the block's index; with a void
// value, as import --void-value makes it.
std::string MadeMap(const std::string& name, bool withVoid, int16_t base = 100) {
    MapHeader header;
    header.width = header.height = 640;
    header.originLat = 36.5;
    header.originLon = -84.0;
    header.cellLat = header.cellLon = 1.0 / 1200.0;
    header.hasVoidValue = withVoid;
    header.voidValue = -32768;
    std::vector<int16_t> grid(size_t(640) * 640);
    for (size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<int16_t>(base + (i / 640 / 320) * 2 + i % 640 / 320);
    if (withVoid) grid[5] = -32768;
    std::string path = TempPath(name), error;
    EXPECT_TRUE(CreateMapFile(path, header, grid.data(), &error)) << error;
    return path;
}

void SaveBlocks(const std::string& path, const std::vector<int32_t>& codes, int16_t value) {
    MapSaveSession session;
    std::string error;
    std::vector<int16_t> block(kMapBlockSamples, value);
    ASSERT_TRUE(session.Begin(path, &error)) << error;
    for (int32_t code : codes) ASSERT_TRUE(session.Append(code, block.data(), &error)) << error;
    ASSERT_TRUE(session.Commit(&error)) << error;
}

// The first sample of each block of a 2 x 2 map, -1 for a block that cannot be read.
std::vector<int> FirstSamples(const std::string& path) {
    MapFileReader reader;
    std::string error;
    EXPECT_TRUE(reader.Open(path, &error)) << error;
    std::vector<int> samples;
    std::vector<int16_t> block(kMapBlockSamples);
    for (int32_t code : {0, 1, 100, 101}) samples.push_back(reader.ReadBlock(code, block.data(), &error) ? block[1] : -1);
    return samples;
}

void Flip(const std::string& path, uint64_t offset, uint8_t mask) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    bytes.at(offset) ^= mask;
    WriteBytes(path, bytes);
}

// The map as writers did before the header kept the void value: version 1, the void
// value in the first commit record only.
void MakeVersion1(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    uint64_t copy = kHeaderBytes + 4 * kBlockRecordBytes + kCommitBytes + mapfile::kHeaderCopyImageOffset;
    for (uint64_t at : {uint64_t(0), copy}) {
        mapfile::PutU32(&bytes[at + 8], mapfile::kFormatVersion1);
        mapfile::PutU32(&bytes[at + 60], 0);
        mapfile::PutU32(&bytes[at + 68], mapfile::Crc32(0, &bytes[at], 68));
    }
    WriteBytes(path, bytes);
}

TEST(MapRecoverTest, NeverWritesOverItsInput) {
    const std::string in = MadeMap("same.map", false);
    Flip(in, kHeaderBytes + 5000, 16);
    const std::vector<uint8_t> before = ReadBytes(in);
    fs::remove(TempPath("linked.map"));
    fs::create_hard_link(in, TempPath("linked.map"));
    fs::remove(TempPath("symlinked.map"));
    fs::create_symlink(in, TempPath("symlinked.map"));
    fs::create_directories(TempPath("sub"));
    const std::string spellings[] = {in, TempPath("linked.map"), TempPath("symlinked.map"), TempPath("sub/../same.map")};
    for (const std::string& out : spellings) {
        RecoverReport report;
        std::string error;
        EXPECT_FALSE(RecoverMap(in, out, RecoverOptions(), &report, &error)) << out;
        EXPECT_NE(std::string::npos, error.find("never writes over its input")) << error;
        EXPECT_TRUE(ReadBytes(in) == before) << out;
    }
}

// Every block without an intact record is named, and a loss is a failure of the command.
TEST(MapRecoverTest, NamesEveryLostBlock) {
    const struct {
        const char* name;
        std::vector<int> damagedBlocks;  // indexes of the first save's records
        uint64_t cut;                    // bytes cut off the end
        std::vector<int32_t> lost;
    } rows[] = {
        {"intact", {}, 0, {}},
        {"one damaged block", {0}, 0, {0}},
        {"every block damaged", {0, 1, 2, 3}, 0, {0, 1, 100, 101}},
        {"cut inside the first save", {}, 2 * kBlockRecordBytes, {100, 101}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string in = MadeMap("lost.map", false), out = TempPath("lost-out.map");
        for (int b : row.damagedBlocks) Flip(in, kHeaderBytes + b * kBlockRecordBytes + 5000, 16);
        if (row.cut > 0) fs::resize_file(in, fs::file_size(in) - row.cut);
        RecoverReport report;
        std::string error;
        ASSERT_TRUE(RecoverMap(in, out, RecoverOptions(), &report, &error)) << error;
        EXPECT_EQ(!row.lost.empty(), report.lost);
        EXPECT_EQ(row.lost, report.missingCodes);
        std::string text = DescribeRecovery(report, false);
        for (int32_t code : row.lost) EXPECT_NE(std::string::npos, text.find(" " + std::to_string(code))) << text;
    }
}

// Strokes over blocks 0 and 1, saved, then the save torn after block 0's record: no
// state that never existed comes back unless asked for, and then it is named.
TEST(MapRecoverTest, TakesCommittedSavesOnlyUnlessAsked) {
    const struct {
        const char* name;
        uint64_t cut;          // bytes cut off the end
        uint64_t flipFromEnd;  // a byte of the last commit record's checksum, counted from the end
        bool takeUncommitted;
        std::vector<int> samples;
        std::vector<int32_t> named;
    } rows[] = {
        {"torn save left out", kCommitBytes + kBlockRecordBytes, 0, false, {100, 101, 102, 103}, {0}},
        {"torn save taken on request", kCommitBytes + kBlockRecordBytes, 0, true, {7, 101, 102, 103}, {0}},
        {"committed save with a damaged commit checksum", 0, 2, false, {7, 7, 102, 103}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string in = MadeMap("torn.map", false), out = TempPath("torn-out.map");
        SaveBlocks(in, {0, 1}, 7);
        if (row.cut > 0) fs::resize_file(in, fs::file_size(in) - row.cut);
        if (row.flipFromEnd > 0) Flip(in, fs::file_size(in) - row.flipFromEnd, 1);
        RecoverOptions options;
        options.takeUncommitted = row.takeUncommitted;
        RecoverReport report;
        std::string error;
        ASSERT_TRUE(RecoverMap(in, out, options, &report, &error)) << error;
        EXPECT_EQ(row.samples, FirstSamples(out));
        EXPECT_EQ(row.named, report.uncommittedCodes);
        EXPECT_FALSE(report.lost);
    }
}

// A block whose newest copy is damaged is not rolled back by compaction unless asked.
TEST(MapCompactTest, RefusesToRollABlockBackUnlessAsked) {
    for (bool useOlder : {false, true}) {
        SCOPED_TRACE(useOlder ? "--use-older-copies" : "default");
        const std::string map = MadeMap("rollback.map", false);
        SaveBlocks(map, {1}, 7);
        Flip(map, fs::file_size(map) - kCommitBytes - 1000, 1);  // the newest copy's samples
        const std::vector<uint8_t> before = ReadBytes(map);
        CompactOptions options;
        options.useOlderCopies = useOlder;
        CompactReport report;
        std::string error;
        ASSERT_EQ(useOlder, CompactMap(map, map, options, &report, &error)) << error;
        if (!useOlder) {
            EXPECT_NE(std::string::npos, error.find("newest copy of 1 block(s) is damaged")) << error;
            EXPECT_NE(std::string::npos, error.find(": 1.")) << error;
            EXPECT_NE(std::string::npos, error.find("--use-older-copies")) << error;
            EXPECT_TRUE(ReadBytes(map) == before);
            continue;
        }
        EXPECT_EQ(std::vector<int32_t>{1}, report.olderCopies);
        EXPECT_EQ((std::vector<int>{100, 101, 102, 103}), FirstSamples(map));
    }
}

// Every single-bit flip of the first save's header, commit record, header copy and block
// record heads, on a map with voids as written now and as written before the header kept
// the void value: the value is read right, or a warning says it cannot be.
TEST(MapVoidValueTest, NoBitFlipOfTheFirstSaveLosesItSilently) {
    for (bool version1 : {false, true}) {
        SCOPED_TRACE(version1 ? "version 1" : "version 2");
        const std::string map = MadeMap("sweep.map", true);
        if (version1) MakeVersion1(map);
        const std::vector<uint8_t> good = ReadBytes(map);
        EXPECT_EQ(version1 ? 1u : 2u, mapfile::GetU32(&good[8]));
        std::vector<uint64_t> offsets;
        const uint64_t commit = kHeaderBytes + 4 * kBlockRecordBytes;
        for (uint64_t i = 0; i < kHeaderBytes; ++i) offsets.push_back(i);
        for (uint64_t i = commit; i < good.size(); ++i) offsets.push_back(i);  // commit record, header copy
        for (uint64_t b = 0; b < 4; ++b) {
            for (uint64_t i = 0; i < mapfile::kBlockHeaderBytes; ++i) offsets.push_back(kHeaderBytes + b * kBlockRecordBytes + i);
        }
        const std::string flipped = TempPath("sweep-flipped.map");
        int unreadable = 0;
        for (uint64_t offset : offsets) {
            for (int bit = 0; bit < 8; ++bit) {
                std::vector<uint8_t> bytes = good;
                bytes[offset] ^= static_cast<uint8_t>(1 << bit);
                WriteBytes(flipped, bytes);
                MapFileReader reader;
                std::string error;
                ASSERT_TRUE(reader.OpenForOnePass(flipped, &error)) << offset << ": " << error;
                bool kept = reader.header().hasVoidValue && reader.header().voidValue == -32768;
                EXPECT_TRUE(kept || reader.VoidValueUnreadable()) << "byte " << offset << ", bit " << bit;
                unreadable += reader.VoidValueUnreadable();
            }
        }
        EXPECT_EQ(0, unreadable) << "each single flip is mended";
    }
}

// A void value nobody can read stops export and compaction as a lost block does;
// recovery asks for it, and what it is told goes into the header. With the header and its
// copy gone, recovery from a sidecar keeps the value of the first save's commit record.
TEST(MapVoidValueTest, AnUnreadableVoidValueStopsTheToolsUntilRecoveryIsTold) {
    const std::string cut = MadeMap("unreadable.map", true), wiped = MadeMap("wiped.map", true);
    MakeVersion1(cut);
    fs::resize_file(cut, fs::file_size(cut) - 100);  // the header's copy and part of the commit record
    std::vector<uint8_t> bytes = ReadBytes(wiped);
    std::fill(bytes.begin() + 16, bytes.begin() + 40, 0);
    std::fill(bytes.end() - 60, bytes.end() - 36, 0);
    WriteBytes(wiped, bytes);
    const std::string sidecar = TempPath("georef.json"), text = "{\"width\": 640, \"height\": 640, \"origin_lat\": 36.5, "
        "\"origin_lon\": -84.0, \"cell_size_deg_x\": 0.0008333, \"cell_size_deg_y\": 0.0008333}";
    WriteBytes(sidecar, std::vector<uint8_t>(text.begin(), text.end()));
    std::vector<std::string> written, warnings;
    std::string error;
    fs::remove(TempPath("unreadable.tif"));
    EXPECT_FALSE(ExportMap(cut, TempPath("unreadable.tif"), "GTiff", &written, &warnings, &error));
    EXPECT_NE(std::string::npos, error.find("void value cannot be read")) << error;
    EXPECT_FALSE(fs::exists(TempPath("unreadable.tif")));
    EXPECT_FALSE(CompactMap(cut, TempPath("unreadable-c.map"), &warnings, &error));
    EXPECT_NE(std::string::npos, error.find("void value cannot be read")) << error;
    const struct {
        const char* name;
        std::string in, georef;
        bool given, none, ok, hasVoid;
    } rows[] = {
        {"not told", cut, "", false, false, false, false},
        {"--void-value", cut, "", true, false, true, true},
        {"--no-void-value", cut, "", false, true, true, false},
        {"--georef", wiped, sidecar, false, false, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string out = TempPath("unreadable-r.map");
        fs::remove(out);
        RecoverOptions options;
        options.georef = row.georef;
        options.voidValueGiven = row.given;
        options.voidValue = -32768;
        options.noVoidValue = row.none;
        RecoverReport report;
        ASSERT_EQ(row.ok, RecoverMap(row.in, out, options, &report, &error)) << error;
        EXPECT_EQ(row.ok, fs::exists(out));
        if (!row.ok) {
            EXPECT_NE(std::string::npos, error.find("--void-value V")) << error;
            continue;
        }
        MapFileReader recovered;
        ASSERT_TRUE(recovered.Open(out, &error)) << error;
        EXPECT_EQ(row.hasVoid, recovered.header().hasVoidValue && recovered.header().voidValue == -32768);
        EXPECT_EQ(2u, mapfile::GetU32(&ReadBytes(out)[8]));
    }
}

// A map whose first save is cut short: a save that writes nothing leaves the file as it
// was, one that writes a block is read back, and Save As copies it as it is.
TEST(MapCutFirstSaveTest, SavesAndCopiesChangeOnlyWhatTheySay) {
    const std::string map = MadeMap("cut.map", false);
    const uint64_t cutSize = kHeaderBytes + 2 * kBlockRecordBytes + 5;
    fs::resize_file(map, cutSize);
    for (bool writeBlock : {false, true}) {
        SCOPED_TRACE(writeBlock ? "a block saved" : "nothing saved");
        MapFileReader reader;
        std::string error;
        ASSERT_TRUE(reader.Open(map, &error)) << error;
        MapSaveSession session;
        std::vector<int16_t> block(kMapBlockSamples, 9);
        ASSERT_TRUE(session.Begin(map, reader, &error)) << error;
        if (writeBlock) {
            ASSERT_TRUE(session.Append(101, block.data(), &error)) << error;
        }
        ASSERT_TRUE(session.Commit(&error)) << error;
        if (!writeBlock) {
            EXPECT_EQ(cutSize, fs::file_size(map)) << "a save that wrote nothing changed the file";
        }
        const std::string copy = TempPath("cut-copy.map");
        ASSERT_TRUE(reader.CopyCommittedTo(copy, &error)) << error;
        EXPECT_EQ((std::vector<int>{100, 101, -1, writeBlock ? 9 : -1}), FirstSamples(map));
        EXPECT_EQ((std::vector<int>{100, 101, -1, -1}), FirstSamples(copy));
    }
}

// What a killed writer left beside a map goes with the next write, never what a living
// writer holds or is just making.
TEST(MapTemporaryTest, TheNextWriterRemovesOnlyStaleOnes) {
    const std::string map = MadeMap("stale.map", false);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const struct {
        const char* name;
        const char* suffix;
        bool aged, lockedElsewhere, removed;
    } rows[] = {
        {"left by a killed writer", ".zolva-aB3xYz", true, false, true},
        {"being made", ".zolva-fresh1", false, false, false},
        {"held by a living writer", ".zolva-held01", true, true, false},
        {"another name", ".zolva-toolong7", true, false, false},
    };
    std::vector<pid_t> holders;
    for (const auto& row : rows) {
        const std::string path = map + row.suffix;
        WriteBytes(path, std::vector<uint8_t>(1000, 1));
        if (row.aged) fs::last_write_time(path, old);
        if (!row.lockedElsewhere) continue;
        int ready[2];
        ASSERT_EQ(0, ::pipe(ready));
        pid_t child = ::fork();
        if (child == 0) {
            std::string why;
            std::FILE* held = OpenRegularFile(path, "r+b", &why);
            char done = held != nullptr && LockForWriting(held, 0, &why) == LockOutcome::kTaken ? 'y' : 'n';
            ssize_t sent = ::write(ready[1], &done, 1);
            ::pause();
            ::_exit(sent == 1 ? 0 : 1);
        }
        char done = 0;
        ASSERT_EQ(1, ::read(ready[0], &done, 1));
        ASSERT_EQ('y', done);
        holders.push_back(child);
    }
    std::vector<std::string> warnings;
    std::string error;
    EXPECT_TRUE(CompactMap(map, map, &warnings, &error)) << error;
    for (pid_t child : holders) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
    for (const auto& row : rows) EXPECT_EQ(!row.removed, fs::exists(map + row.suffix)) << row.name;
}

}  // namespace
