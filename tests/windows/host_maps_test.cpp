// devhost's maps through hpi.dll: reading blocks, the display cache, block requests to
// the plug-ins' map hooks, the elevation file writer and the georeference.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "engine/map_editor.h"
#include "host/hpi_win.h"
#include "tests/windows/plugin_fixture.h"

namespace {

const int kWidth = 403;
const int kHeight = 344;

int16_t GridSample(int row, int col) { return static_cast<int16_t>(row * 3 - col * 2 + 100); }

class HostMapsTest : public ::testing::Test {
protected:
    void SetUp() override {
        DH_Reset();
        path_ = Utf8(TestFolder()) + "host-maps-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".map";
        std::remove(path_.c_str());
        MapHeader header;
        header.width = kWidth;
        header.height = kHeight;
        header.originLat = 36.0;
        header.originLon = -84.0;
        header.cellLat = 0.001;
        header.cellLon = 0.002;
        header.mapType = 5;
        std::vector<int16_t> grid(static_cast<size_t>(kWidth) * kHeight);
        for (int r = 0; r < kHeight; ++r) {
            for (int c = 0; c < kWidth; ++c) grid[static_cast<size_t>(r) * kWidth + c] = GridSample(r, c);
        }
        std::string error;
        ASSERT_TRUE(CreateMapFile(path_, header, grid.data(), &error)) << error;
        char reason[256] = {};
        map_ = DH_OpenMap(path_.c_str(), reason, sizeof reason);
        ASSERT_NE(0u, map_) << reason;
    }
    void TearDown() override {
        if (map_ != 0) DH_CloseMap(map_);
        DH_Reset();
        std::remove(path_.c_str());
    }

    std::vector<short> Block(long id, unsigned source) {
        std::vector<short> samples(kMapBlockSamples, -1);
        HPI_GetMapBlock(map_, id, samples.data(), source);
        return samples;
    }

    std::string path_;
    HPI_HANDLE map_ = 0;
};

TEST_F(HostMapsTest, FileBlocksIncludingPartialEdgeBlocks) {
    EXPECT_EQ(1, HPI_IsOpenedMap(map_));
    EXPECT_EQ(5u, HPI_GetMapType(map_));
    EXPECT_EQ(0, HPI_IsMAT(map_));
    EXPECT_EQ(path_, HPI_GetMapFile(map_));
    EXPECT_EQ(map_, HPI_GetActiveBaseMap());

    std::vector<short> first = Block(0, 2);
    EXPECT_EQ(GridSample(0, 0), first[0]);
    EXPECT_EQ(GridSample(319, 319), first[319 * 320 + 319]);
    std::vector<short> east = Block(100, 2);  // code 1: columns 320..639, only 320..402 exist
    EXPECT_EQ(GridSample(5, 402), east[5 * 320 + 82]);
    EXPECT_EQ(0, east[5 * 320 + 83]) << "outside the grid reads as sea level";
    std::vector<short> southEast = Block(10100, 2);  // code 101
    EXPECT_EQ(GridSample(343, 402), southEast[23 * 320 + 82]);
    EXPECT_EQ(0, southEast[24 * 320 + 0]);
    std::vector<short> absent = Block(20300, 2);
    EXPECT_EQ(0, absent[0]);
    EXPECT_EQ(0, absent[kMapBlockSamples - 1]);
}

std::vector<HPI_BLOCKREQUEST> g_requests;
long AnsweringMapHook(int event, unsigned, intptr_t param) {
    if (event != kEventMapBlockRequest) return 0;
    auto* request = reinterpret_cast<HPI_BLOCKREQUEST*>(param);
    g_requests.push_back(*request);
    if (request->blockId != 100) return 0;
    for (int i = 0; i < kMapBlockSamples; ++i) request->samples[i] = 4321;
    return 1;
}

TEST_F(HostMapsTest, OtherSourcesAskTheMapHooksFirst) {
    g_requests.clear();
    HPI_AddMapHook(99, AnsweringMapHook);
    EXPECT_EQ(4321, Block(100, 0)[0]) << "a hook that holds the block answers";
    EXPECT_EQ(GridSample(0, 0), Block(0, 0)[0]) << "a hook that does not falls back to the file";
    ASSERT_EQ(2u, g_requests.size());
    EXPECT_EQ(5, g_requests[0].mapType);
    EXPECT_EQ(100, g_requests[0].blockId);
    EXPECT_EQ(GridSample(0, 320), Block(100, 2)[0]) << "source 2 never asks the hooks";
    EXPECT_EQ(2u, g_requests.size());
}

std::vector<char> FileBytes(const std::string& path) {
    std::vector<char> bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
    }
    return bytes;
}

// A save is all or nothing: one bad block, or one that devhost could not read in full,
// fails the save and leaves the file as it was. Blocks wholly outside the grid hold no
// map sample and are skipped.
TEST_F(HostMapsTest, SavesAreAllOrNothing) {
    std::vector<short> samples(kMapBlockSamples, 777);
    const std::vector<char> before = FileBytes(path_);
    HPI_HANDLE file = HPI_OpenAppendEvm(HPI_GetMapFile(map_), 2);
    ASSERT_NE(0u, file);
    EXPECT_NE(0u, HPI_AppendBlockEvm(file, 150, samples.data())) << "not a multiple of 100";
    EXPECT_NE(0u, HPI_AppendBlockEvm(file, 100, samples.data())) << "the save has failed";
    EXPECT_NE(0u, HPI_CloseEvm(file));
    EXPECT_EQ(before, FileBytes(path_));
    EXPECT_NE(std::string::npos, std::string(DH_LastSaveError()).find("150")) << DH_LastSaveError();

    file = HPI_OpenAppendEvm(HPI_GetMapFile(map_), 2);
    ASSERT_NE(0u, file);
    EXPECT_EQ(0u, HPI_AppendBlockEvm(file, 99900, samples.data())) << "outside the grid: nothing to write";
    EXPECT_EQ(0u, HPI_AppendBlockEvm(file, 100, samples.data()));
    EXPECT_EQ(0u, HPI_CloseEvm(file));
    EXPECT_EQ(777, Block(100, 2)[0]) << "the open map sees the committed save";

    DH_CloseMap(map_);
    map_ = DH_OpenMap(path_.c_str(), nullptr, 0);
    ASSERT_NE(0u, map_);
    EXPECT_EQ(777, Block(100, 2)[12210]);  // row 38, column 370: inside the grid
    EXPECT_EQ(GridSample(0, 0), Block(0, 2)[0]);
    EXPECT_EQ(0u, HPI_OpenAppendEvm("Z:\\no\\such\\folder\\x.map", 1));

    // Damage after opening: the block reads as zeros. Given back as delivered, the block is
    // left out of the save (the terrain on disk stays); edited, it would replace the real
    // terrain, so the save fails.
    std::vector<char> bytes = FileBytes(path_);
    const size_t block101Samples = 72 + 3 * (12 + kMapBlockBytes) + 12;
    bytes[block101Samples + 999] ^= 0x08;
    if (std::FILE* out = std::fopen(path_.c_str(), "r+b")) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    std::vector<short> damaged = Block(10100, 2);
    EXPECT_EQ(0, damaged[0]);
    file = HPI_OpenAppendEvm(HPI_GetMapFile(map_), 1);
    ASSERT_NE(0u, file);
    EXPECT_EQ(0u, HPI_AppendBlockEvm(file, 10100, damaged.data())) << "as delivered: nothing to write";
    EXPECT_EQ(0u, HPI_CloseEvm(file));
    EXPECT_EQ(bytes, FileBytes(path_));
    damaged[5] = 300;
    file = HPI_OpenAppendEvm(HPI_GetMapFile(map_), 1);
    ASSERT_NE(0u, file);
    EXPECT_NE(0u, HPI_AppendBlockEvm(file, 10100, damaged.data()));
    EXPECT_NE(0u, HPI_CloseEvm(file));
    EXPECT_EQ(bytes, FileBytes(path_));
    EXPECT_NE(std::string::npos, std::string(DH_LastSaveError()).find("block 101 ")) << DH_LastSaveError();
}

TEST_F(HostMapsTest, DisplayCacheAndEditorPushes) {
    CMapEditor editor;
    editor.SetMap(map_);
    int16_t* stroke = editor.FindOrCreateStrokeBlock(1);
    ASSERT_NE(nullptr, stroke);
    int16_t* samples = editor.FindOrLoadBlock(1);
    ASSERT_NE(nullptr, samples);
    EXPECT_EQ(GridSample(7, 330), samples[7 * 320 + 10]) << "the editor reads from the file";
    samples[0] = 9999;
    editor.PushToHost();
    EXPECT_EQ(1, DH_DisplayCacheCount(map_));
    std::vector<short> shown(kMapBlockSamples);
    ASSERT_EQ(1, DH_ReadViewBlock(map_, 1, shown.data()));
    EXPECT_EQ(9999, shown[0]);
    HPI_ClearViewCache(map_);
    EXPECT_EQ(0, DH_DisplayCacheCount(map_));
    editor.FreeAll();
}

TEST_F(HostMapsTest, Georeference) {
    const struct {
        double lat, lon;
        long column, row;
    } rows[] = {
        {35.9995, -83.9990, 0, 0},
        {36.0, -84.0, 0, 0},
        {35.6565, -83.1955, 402, 343},
        {36.0005, -84.0, 0, -1},
        {35.9995, -84.0010, -1, 0},
    };
    for (const auto& row : rows) {
        long column = 12345, r = 12345;
        HPI_PosToMesh(map_, GEOPOS{row.lat, row.lon}, &column, &r);
        EXPECT_EQ(row.column, column) << row.lat << "," << row.lon;
        EXPECT_EQ(row.row, r) << row.lat << "," << row.lon;
    }
    HPI_SIZE equator = HPI_GetMeshSize(map_, 0.0);
    HPI_SIZE sixty = HPI_GetMeshSize(map_, 60.0);
    EXPECT_EQ(222, equator.cx);
    EXPECT_EQ(110, equator.cy);
    EXPECT_EQ(111, sixty.cx) << "east-west size halves at 60 degrees";
    EXPECT_EQ(110, sixty.cy);
}

TEST(HostMapFilesTest, DamagedFilesAreRefusedWithAReason) {
    std::string path = Utf8(TestFolder()) + "host-maps-garbage.map";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    std::fputs("this is not a map file at all", file);
    std::fclose(file);
    char reason[256] = {};
    EXPECT_EQ(0u, DH_OpenMap(path.c_str(), reason, sizeof reason));
    EXPECT_NE('\0', reason[0]);
    EXPECT_EQ(0u, DH_OpenMap((path + ".missing").c_str(), reason, sizeof reason));
    std::remove(path.c_str());
}

}  // namespace
