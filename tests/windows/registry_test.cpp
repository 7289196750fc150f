// The editor registry and the map hook, linked into this executable and run against
// devhost's real maps in hpi.dll.
#include <cstdio>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "engine/brush_kernel.h"
#include "engine/map_editor.h"
#include "frame/module.h"
#include "module/callbacks.h"
#include "frame/registry.h"
#include "tests/windows/plugin_fixture.h"

namespace {

const wchar_t kIneligibleText[] = L"地図が開かれていないか,DCM(圧縮地図)形式の地図ではありません.";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        DH_Reset();
        DH_CaptureMessageBoxesOf(::GetModuleHandleW(nullptr));
        DH_CaptureMessageBoxes(IDOK);
        ClearRegistry();
    }
    void TearDown() override {
        for (int slot = 0; slot < kMaxEditors; ++slot) {
            if (g_editedMaps[slot] != 0) DiscardEditor(g_editedMaps[slot]);
        }
        for (HPI_HANDLE map : maps_) DH_CloseMap(map);
        for (const std::string& path : paths_) std::remove(path.c_str());
        DH_CaptureMessageBoxes(0);
        DH_Reset();
    }

    // A 640 x 640 map whose samples are their column.
    HPI_HANDLE OpenMap(unsigned type, unsigned mat) {
        std::string path = Utf8(TestFolder()) + "registry-" + std::to_string(paths_.size()) + ".map";
        MapHeader header;
        header.width = 640;
        header.height = 640;
        header.originLat = 35.0;
        header.originLon = 139.0;
        header.cellLat = header.cellLon = 0.001;
        header.mapType = type;
        header.mat = mat;
        std::vector<int16_t> grid(640 * 640);
        for (size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<int16_t>(i % 640);
        std::string error;
        EXPECT_TRUE(CreateMapFile(path, header, grid.data(), &error)) << error;
        paths_.push_back(path);
        HPI_HANDLE map = DH_OpenMap(path.c_str(), nullptr, 0);
        EXPECT_NE(0u, map);
        maps_.push_back(map);
        return map;
    }

    std::vector<HPI_HANDLE> maps_;
    std::vector<std::string> paths_;
};

TEST_F(RegistryTest, NeverEditedMapAnswersZeroToEveryEvent) {
    HPI_HANDLE map = OpenMap(5, 0);
    std::vector<short> buffer(kMapBlockSamples, 3);
    HPI_BLOCKREQUEST request = {5, 0, buffer.data()};
    for (int event : {202, 203, 206, 0, 999}) EXPECT_EQ(0, MapHookProc(event, map, 0)) << event;
    EXPECT_EQ(0, MapHookProc(204, map, reinterpret_cast<intptr_t>(&request)));
    EXPECT_EQ(3, buffer[0]);
    EXPECT_EQ(0, DH_MessageBoxCount());
}

TEST_F(RegistryTest, EligibilityRefusalsWarnOnEveryAttempt) {
    const struct {
        const char* name;
        unsigned type, mat;
        bool open;
        int expected;
    } rows[] = {
        {"type 5", 5, 0, true, 1},   {"type 10", 10, 0, true, 1}, {"image map", 3, 0, true, 0},
        {"MAT map", 5, 1, true, 0},  {"closed map", 5, 0, false, 0},
    };
    for (const auto& row : rows) {
        HPI_HANDLE map = OpenMap(row.type, row.mat);
        if (!row.open) DH_CloseMap(map);
        int boxes = DH_MessageBoxCount();
        EXPECT_EQ(row.expected, EnsureEditor(map)) << row.name;
        EXPECT_EQ(row.expected, EnsureEditor(map)) << row.name << ", second attempt";
        EXPECT_EQ(row.expected ? boxes : boxes + 2, DH_MessageBoxCount()) << row.name;
        if (!row.expected) {
            DH_MESSAGEBOX box;
            DH_GetMessageBox(DH_MessageBoxCount() - 1, &box);
            EXPECT_STREQ(kIneligibleText, box.text) << row.name;
            EXPECT_EQ(static_cast<unsigned>(MB_ICONWARNING), box.type & MB_ICONMASK) << row.name;
        }
    }
    EXPECT_EQ(0, EnsureEditor(0)) << "no map at all is refused too";
}

TEST_F(RegistryTest, EditsHeldAndBlockRequests) {
    HPI_HANDLE map = OpenMap(5, 0);
    ASSERT_EQ(1, EnsureEditor(map));
    EXPECT_EQ(0, MapHookProc(203, map, 0)) << "no block loaded yet";
    CMapEditor* editor = FindEditor(map);
    editor->SetBrush(&g_brushKernel);
    g_brushKernel.Build(1, 1, 0, 1.0, 0.0);
    editor->BeginStroke();
    editor->PaintLine(330, 5, 330, 5);
    editor->CommitStroke();
    EXPECT_EQ(1, MapHookProc(203, map, 0));
    MapRestoreFromStroke(map);
    MapClearStroke(map);
    EXPECT_EQ(1, MapHookProc(203, map, 0)) << "an undo leaves the blocks loaded";

    editor->FindBlock(1)[5 * 320 + 10] = 4444;
    const struct {
        int type, id, expected;
    } rows[] = {{5, 100, 1}, {10, 100, 1}, {3, 100, 0}, {5, 150, 1}, {5, 199, 1}, {5, 200, 0}, {5, 0, 0}};
    for (const auto& row : rows) {
        std::vector<short> buffer(kMapBlockSamples, -9);
        HPI_BLOCKREQUEST request = {row.type, row.id, buffer.data()};
        EXPECT_EQ(row.expected, MapHookProc(204, map, reinterpret_cast<intptr_t>(&request)))
            << "type " << row.type << " id " << row.id;
        EXPECT_EQ(row.expected ? 4444 : -9, buffer[5 * 320 + 10]) << "type " << row.type << " id " << row.id;
    }
}

TEST_F(RegistryTest, SaveWritesTheBlocksAReopenedFileShows) {
    HPI_HANDLE map = OpenMap(5, 0);
    ASSERT_EQ(1, EnsureEditor(map));
    EXPECT_EQ(1, MapHookProc(202, map, 0)) << "no blocks: an empty save still succeeds";
    CMapEditor* editor = FindEditor(map);
    editor->FindOrLoadBlock(0)[0] = 1234;
    editor->FindOrLoadBlock(101)[319] = -55;
    EXPECT_EQ(1, MapHookProc(202, map, 0));
    EXPECT_EQ(2, editor->MapBlockCount()) << "saving keeps the editor's blocks";

    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(HPI_GetMapFile(map), &error)) << error;
    std::vector<int16_t> samples(kMapBlockSamples);
    ASSERT_TRUE(reader.ReadBlock(0, samples.data(), &error));
    EXPECT_EQ(1234, samples[0]);
    EXPECT_EQ(1, samples[1]);
    ASSERT_TRUE(reader.ReadBlock(101, samples.data(), &error));
    EXPECT_EQ(-55, samples[319]);
    EXPECT_EQ(320, samples[0]);
}

TEST_F(RegistryTest, ClosingDiscardsClearsTheCacheAndEligibilityStartsOver) {
    HPI_HANDLE map = OpenMap(5, 0);
    ASSERT_EQ(1, EnsureEditor(map));
    CMapEditor* editor = FindEditor(map);
    editor->FindOrCreateStrokeBlock(0);
    editor->FindOrLoadBlock(0);
    MapPushToHost(map);
    ASSERT_EQ(1, DH_DisplayCacheCount(map));
    EXPECT_EQ(0, MapHookProc(206, map, 0));
    EXPECT_EQ(-1, FindEditorSlot(map));
    EXPECT_EQ(0, DH_DisplayCacheCount(map));
    EXPECT_EQ(0, MapHookProc(203, map, 0));
    DH_CloseMap(map);
    int boxes = DH_MessageBoxCount();
    EXPECT_EQ(0, EnsureEditor(map)) << "the same handle is tested again, and the map is gone";
    EXPECT_EQ(boxes + 1, DH_MessageBoxCount());
}

TEST_F(RegistryTest, EleventhMapIsRefusedSilentlyUntilASlotFrees) {
    std::vector<HPI_HANDLE> opened;
    for (int i = 0; i < 11; ++i) opened.push_back(OpenMap(5, 0));
    for (int i = 0; i < 10; ++i) ASSERT_EQ(1, EnsureEditor(opened[static_cast<size_t>(i)])) << i;
    EXPECT_EQ(0, EnsureEditor(opened[10]));
    EXPECT_EQ(0, DH_MessageBoxCount()) << "a full registry says nothing";
    int slot = FindEditorSlot(opened[4]);
    MapHookProc(206, opened[4], 0);
    EXPECT_EQ(1, EnsureEditor(opened[10]));
    EXPECT_EQ(slot, FindEditorSlot(opened[10])) << "the freed slot is reused";
}

TEST_F(RegistryTest, OperationsOnAMapWithoutEditorDoNothing) {
    HPI_HANDLE map = OpenMap(5, 0);
    EXPECT_EQ(0, MapSetBrush(map, 5, 1, 0, 0.5, 0.0));
    EXPECT_EQ(0, MapPushToHost(map));
    EXPECT_EQ(0, MapRestoreFromStroke(map));
    EXPECT_EQ(0, MapClearStroke(map));
    MapBeginStroke(map);
    MapPaintLine(map, 0, 0, 10, 10);
    MapCommitStroke(map);
    EXPECT_EQ(0, DH_DisplayCacheCount(map));
    EXPECT_EQ(-1, FindEditorSlot(map));
}

}  // namespace
