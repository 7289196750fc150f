// One damaged byte in a map's header, in the commit record of the save it was made with or
// in the header's copy costs at most the block it hits; a wrong count of the first save's
// blocks hides nothing; and a map whose header is gone can be rebuilt.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mapstore/map_format.h"
#include "maptools/map_recover.h"
#include "tests/native/test_files.h"

namespace {

namespace fs = std::filesystem;
using mapfile::kBlockRecordBytes;
using mapfile::kCommitBytes;
using mapfile::kHeaderBytes;
using mapfile::kHeaderCopyBytes;

std::string TempPath(const std::string& name) { return TestFilePath("zolva_map_header_test", name); }

// Every block of the grid as a reader gives it; an empty vector for a block it refuses.
std::vector<std::vector<int16_t>> AllBlocks(const MapFileReader& reader) {
    std::vector<std::vector<int16_t>> blocks;
    const MapHeader& h = reader.header();
    for (int32_t row0 = 0; row0 < h.height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < h.width; col0 += kMapBlockSide) {
            std::vector<int16_t> block(kMapBlockSamples);
            std::string error;
            if (!reader.ReadBlock(MapBlockCode(row0, col0), block.data(), &error)) block.clear();
            blocks.push_back(block);
        }
    }
    return blocks;
}

// A 3 x 2 block map made in one piece (so it carries the header's copy), then saved once.
std::string NewMap(const std::string& name) {
    MapHeader header;
    header.width = 700;
    header.height = 333;
    header.originLat = 36.5;
    header.originLon = -84.0;
    header.cellLat = header.cellLon = 1.0 / 1200.0;
    std::vector<int16_t> grid(size_t(700) * 333);
    for (size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<int16_t>(i % 3001 - 500);
    std::string path = TempPath(name);
    std::string error;
    EXPECT_TRUE(CreateMapFile(path, header, grid.data(), &error)) << error;
    MapSaveSession session;
    std::vector<int16_t> block(kMapBlockSamples, 777);
    EXPECT_TRUE(session.Begin(path, &error) && session.Append(1, block.data(), &error) && session.Commit(&error))
        << error;
    return path;
}

void SetCreationCount(std::vector<uint8_t>* bytes, uint32_t count) {
    mapfile::PutU32(bytes->data() + 64, count);
    mapfile::PutU32(bytes->data() + mapfile::kHeaderCrcOffset, mapfile::Crc32(0, bytes->data(), mapfile::kHeaderCrcOffset));
}

// Flips every byte of the header, of the first save's commit record and of the header's
// copy (where the map has one), one at a time: each flip is reported, and costs at most
// one block, for the checked and the one-pass reader alike.
TEST(MapHeaderTest, OneDamagedByteInTheHeaderOrFirstCommitCostsAtMostOneBlock) {
    const std::string sample = std::string(ZOLVA_SAMPLES_DIR) + "/jacksboro.map";
    const struct {
        const char* name;
        std::string path;
        uint64_t firstSaveBlocks;
        bool hasCopy;
    } maps[] = {
        {"sample map, made before the header had a copy", sample, 4, false},
        {"new map", NewMap("sweep.map"), 6, true},
    };
    for (const auto& map : maps) {
        const std::vector<uint8_t> good = ReadBytes(map.path);
        MapFileReader intact;
        std::string error;
        ASSERT_TRUE(intact.Open(map.path, &error)) << error;
        ASSERT_TRUE(intact.warnings().empty()) << map.name;
        const std::vector<std::vector<int16_t>> expected = AllBlocks(intact);
        const uint64_t commit = kHeaderBytes + map.firstSaveBlocks * kBlockRecordBytes;
        std::vector<uint64_t> offsets;
        for (uint64_t i = 0; i < kHeaderBytes; ++i) offsets.push_back(i);
        for (uint64_t i = 0; i < kCommitBytes; ++i) offsets.push_back(commit + i);
        for (uint64_t i = 0; map.hasCopy && i < kHeaderCopyBytes; ++i) offsets.push_back(commit + kCommitBytes + i);
        std::string copy = TempPath("flipped.map");
        for (uint64_t offset : offsets) {
            std::vector<uint8_t> bytes = good;
            bytes[offset] ^= 0xFF;
            WriteBytes(copy, bytes);
            for (bool onePass : {false, true}) {
                MapFileReader reader;
                bool opened = onePass ? reader.OpenForOnePass(copy, &error) : reader.Open(copy, &error);
                ASSERT_TRUE(opened) << map.name << ", byte " << offset << ": " << error;
                EXPECT_FALSE(reader.warnings().empty()) << map.name << ", byte " << offset << " went unreported";
                std::vector<std::vector<int16_t>> blocks = AllBlocks(reader);
                ASSERT_EQ(expected.size(), blocks.size()) << map.name << ", byte " << offset;
                int lost = 0;
                for (size_t b = 0; b < blocks.size(); ++b) {
                    if (blocks[b].empty()) ++lost;
                    else EXPECT_TRUE(blocks[b] == expected[b]) << map.name << ", byte " << offset << ", block " << b;
                }
                EXPECT_LE(lost, 1) << map.name << ", byte " << offset;
            }
        }
    }
}

// A count of the first save's blocks that checks out in the header but is wrong neither
// hides a block whose own checksum passes nor swallows the save after it.
TEST(MapHeaderTest, AWrongFirstSaveCountHidesNothing) {
    const std::string path = NewMap("count.map");
    const std::vector<uint8_t> good = ReadBytes(path);
    MapFileReader intact;
    std::string error;
    ASSERT_TRUE(intact.Open(path, &error)) << error;
    const std::vector<std::vector<int16_t>> expected = AllBlocks(intact);
    const struct {
        uint32_t count;
        const char* warning;  // nullptr: none
    } rows[] = {
        {0, nullptr}, {6, nullptr}, {1, "commit record's count is used"}, {2, "commit record's count is used"},
        {5, "commit record's count is used"}, {7, "more than the grid holds"}, {1000000, "more than the grid holds"},
    };
    std::string copy = TempPath("count_copy.map");
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes = good;
        SetCreationCount(&bytes, row.count);
        WriteBytes(copy, bytes);
        MapFileReader reader;
        ASSERT_TRUE(reader.Open(copy, &error)) << "count " << row.count << ": " << error;
        EXPECT_TRUE(AllBlocks(reader) == expected) << "count " << row.count;
        ASSERT_EQ(2u, reader.saves().size()) << "count " << row.count;
        EXPECT_EQ(6u, reader.saves()[0].size()) << "count " << row.count;
        std::string warnings;
        for (const std::string& w : reader.warnings()) warnings += w + "\n";
        EXPECT_EQ(row.warning == nullptr, warnings.empty()) << "count " << row.count << "\n" << warnings;
        if (row.warning != nullptr) {
            EXPECT_NE(std::string::npos, warnings.find(row.warning)) << "count " << row.count << "\n" << warnings;
        }
    }
}

// Recovery rebuilds a map from every intact record, with the georeference of the header,
// its copy, or a sidecar when neither is left, and says what it found.
TEST(MapRecoverTest, RebuildsFromIntactRecordsAndSaysWhatItFound) {
    const std::string fresh = NewMap("recover_in.map");
    const std::string sample = std::string(ZOLVA_SAMPLES_DIR) + "/jacksboro.map";
    const std::string sidecar = std::string(ZOLVA_SAMPLES_DIR) + "/jacksboro_tn_3s.json";
    const struct {
        const char* name;
        std::string source;
        bool wipeHeader;
        uint64_t damagedSample;  // a byte in a block's samples to damage, or 0
        std::string georef;
        const char* error;       // nullptr: recovered
        const char* header;      // where the georeference came from
        uint64_t missing;
    } rows[] = {
        {"intact", fresh, false, 0, "", nullptr, "the map's header", 0},
        {"header gone, copy left", fresh, true, 0, "", nullptr, "its copy at offset", 0},
        {"header gone, no copy", sample, true, 0, "", "--georef", "", 0},
        {"header gone, sidecar given", sample, true, 0, sidecar, nullptr, "jacksboro_tn_3s.json is used", 0},
        {"a damaged block", sample, false, kHeaderBytes + 12 + 999, "", nullptr, "the map's header", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MapFileReader original;
        std::string error;
        ASSERT_TRUE(original.Open(row.source, &error)) << error;
        std::vector<uint8_t> bytes = ReadBytes(row.source);
        if (row.wipeHeader) std::fill(bytes.begin() + 16, bytes.begin() + 40, 0);
        if (row.damagedSample != 0) bytes[row.damagedSample] ^= 0x01;
        const std::string in = TempPath("recover_damaged.map"), out = TempPath("recovered.map");
        WriteBytes(in, bytes);
        fs::remove(out);
        RecoverOptions options;
        options.georef = row.georef;
        RecoverReport report;
        bool ok = RecoverMap(in, out, options, &report, &error);
        ASSERT_EQ(row.error == nullptr, ok) << error;
        if (!ok) {
            EXPECT_NE(std::string::npos, error.find(row.error)) << error;
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        EXPECT_NE(std::string::npos, report.headerSource.find(row.header)) << report.headerSource;
        EXPECT_EQ(row.missing, report.missing);
        EXPECT_EQ(row.missing, report.damagedRecords);
        MapFileReader recovered;
        ASSERT_TRUE(recovered.Open(out, &error)) << error;
        EXPECT_TRUE(recovered.warnings().empty());
        EXPECT_EQ(original.header().originLat, recovered.header().originLat);
        EXPECT_EQ(original.header().cellLon, recovered.header().cellLon);
        std::vector<std::vector<int16_t>> want = AllBlocks(original), got = AllBlocks(recovered);
        ASSERT_EQ(want.size(), got.size());
        for (size_t b = 0; b < want.size(); ++b) {
            bool lost = row.missing > 0 && b == 0;  // the damaged sample lies in block 0
            EXPECT_EQ(lost, !(want[b] == got[b])) << "block " << b;
        }
    }
}

}  // namespace
