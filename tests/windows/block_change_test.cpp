// What hpi.dll tells the map view about blocks changing under it: a block pushed into the
// display cache, the cache cleared, and the blocks of a committed save.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "mapstore/map_file.h"
#include "host/hpi_win.h"
#include "tests/windows/plugin_fixture.h"

namespace {

std::vector<std::pair<HPI_HANDLE, int32_t>> g_told;

void RecordBlockChanged(HPI_HANDLE map, int32_t code) { g_told.emplace_back(map, code); }

class BlockChangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        DH_Reset();
        g_told.clear();
        path_ = Utf8(TestFolder()) + "block-change.map";
        std::remove(path_.c_str());
        MapHeader header;
        header.width = 700;
        header.height = 500;
        header.cellLat = header.cellLon = 0.001;
        std::string error;
        ASSERT_TRUE(CreateMapFile(path_, header, nullptr, &error)) << error;
        char reason[256] = {};
        map_ = DH_OpenMap(path_.c_str(), reason, sizeof reason);
        ASSERT_NE(0u, map_) << reason;
        DH_SetBlockChangeHook(RecordBlockChanged);
    }
    void TearDown() override {
        DH_SetBlockChangeHook(nullptr);
        if (map_ != 0) DH_CloseMap(map_);
        DH_Reset();
        std::remove(path_.c_str());
    }

    std::string path_;
    HPI_HANDLE map_ = 0;
    std::vector<short> samples_ = std::vector<short>(kMapBlockSamples, 321);
};

TEST_F(BlockChangeTest, PushesAndClearingTheDisplayCacheAreTold) {
    HPI_ReplaceCache(map_, 10100, samples_.data());
    HPI_ReplaceCache(map_, 2, samples_.data());  // not a block id: ignored
    HPI_ClearViewCache(map_);
    std::vector<std::pair<HPI_HANDLE, int32_t>> expected = {{map_, 101}, {map_, -1}};
    EXPECT_EQ(g_told, expected);
}

// Only once the save is committed, and then each block it wrote.
TEST_F(BlockChangeTest, ACommittedSaveTellsItsBlocks) {
    HPI_HANDLE file = HPI_OpenAppendEvm(path_.c_str(), 2);
    ASSERT_NE(0u, file);
    ASSERT_EQ(0u, HPI_AppendBlockEvm(file, 0, samples_.data()));
    ASSERT_EQ(0u, HPI_AppendBlockEvm(file, 10200, samples_.data()));
    EXPECT_TRUE(g_told.empty());
    ASSERT_EQ(0u, HPI_CloseEvm(file));
    std::vector<std::pair<HPI_HANDLE, int32_t>> expected = {{map_, 0}, {map_, 102}};
    EXPECT_EQ(g_told, expected);
    std::vector<short> read(kMapBlockSamples);
    ASSERT_EQ(1, HPI_GetMapBlock(map_, 10200, read.data(), 2));
    EXPECT_EQ(read[0], 321);
}

}  // namespace
