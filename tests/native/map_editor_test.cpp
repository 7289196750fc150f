#include "engine/map_editor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "engine/brush_kernel.h"
#include "tests/native/fake_host.h"

namespace {

const uint32_t kMap = 42;

// Allocator that fails once its budget of successful allocations is used up.
int g_allocationBudget = -1;  // -1: unlimited

MapBlock* BudgetedAllocate() {
    if (g_allocationBudget == 0) return nullptr;
    if (g_allocationBudget > 0) --g_allocationBudget;
    return new (std::nothrow) MapBlock;
}

void BudgetedFree(MapBlock* block) { delete block; }

class MapEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheFakeHost().Reset();
        g_allocationBudget = -1;
        SetMapBlockAllocator(BudgetedAllocate, BudgetedFree);
        editor_.SetMap(kMap);
    }
    void TearDown() override {
        editor_.FreeAll();
        SetMapBlockAllocator(nullptr, nullptr);
    }

    int Fetches() const { return TheFakeHost().Count(FakeHostCall::kGetMapBlock); }
    int Pushes() const { return TheFakeHost().Count(FakeHostCall::kReplaceCache); }

    CMapEditor editor_;
};

TEST_F(MapEditorTest, LoadAsksTheHostWithTheIdentifierAndSourceTwo) {
    int16_t* samples = editor_.FindOrLoadBlock(203);
    ASSERT_NE(nullptr, samples);
    ASSERT_EQ(1, Fetches());
    const FakeHostCall& call = TheFakeHost().calls[0];
    EXPECT_EQ(kMap, call.map);
    EXPECT_EQ(20300, call.blockId);
    EXPECT_EQ(2u, call.source);
    EXPECT_EQ(FakeHostSample(20300, 3210), samples[3210]);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(samples) % 4096) << "samples are 4 KiB-aligned";
}

TEST_F(MapEditorTest, ABlockIsFetchedOnceWhateverIsLookedUpBetween) {
    int16_t* first = editor_.FindOrLoadBlock(5);
    editor_.FindOrLoadBlock(6);
    editor_.FindBlock(7);
    editor_.FindOrCreateStrokeBlock(5);
    int16_t* second = editor_.FindOrLoadBlock(5);
    int16_t* third = editor_.FindOrLoadBlock(5);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, third);
    EXPECT_EQ(2, Fetches()) << "blocks 5 and 6, each once";
    EXPECT_EQ(2, editor_.MapBlockCount());
}

TEST_F(MapEditorTest, FindBlockNeverLoads) {
    EXPECT_EQ(nullptr, editor_.FindBlock(9));
    EXPECT_EQ(0, editor_.MapBlockCount());
    EXPECT_EQ(0, Fetches());
    int16_t buffer[16] = {1, 2, 3};
    EXPECT_EQ(0, editor_.CopyBlockOut(9, buffer));
    EXPECT_EQ(2, buffer[1]) << "the buffer stays untouched";
}

TEST_F(MapEditorTest, CopyBlockOutCopiesTheHeldBlock) {
    int16_t* samples = editor_.FindOrLoadBlock(1);
    samples[0] = 1234;
    samples[kBlockSamples - 1] = -77;
    std::vector<int16_t> out(kBlockSamples, 0);
    ASSERT_EQ(1, editor_.CopyBlockOut(1, out.data()));
    EXPECT_EQ(0, std::memcmp(samples, out.data(), kBlockBytes));
}

TEST_F(MapEditorTest, FreeAllResetsTheCaches) {
    editor_.FindOrLoadBlock(3);
    editor_.FindOrCreateStrokeBlock(3);
    editor_.FreeAll();
    EXPECT_EQ(nullptr, editor_.FindBlock(3)) << "the cached code must miss after FreeAll";
    EXPECT_EQ(0, editor_.MapBlockCount());
    EXPECT_EQ(0, editor_.StrokeBlockCount());
    int16_t* stroke = editor_.FindOrCreateStrokeBlock(3);
    ASSERT_NE(nullptr, stroke);
    EXPECT_EQ(0, stroke[0]) << "a new stroke block starts at 0";
}

TEST_F(MapEditorTest, ListsGrowPastTheirFirstStorage) {
    for (int32_t code = 0; code < 25; ++code) ASSERT_EQ(code, editor_.LoadBlock(code));
    for (int32_t code = 0; code < 25; ++code) {
        ASSERT_NE(nullptr, editor_.FindBlock(code));
        EXPECT_EQ(code, editor_.MapBlockAt(code)->code) << "load order is kept";
    }
    EXPECT_EQ(25, Fetches());
}

TEST_F(MapEditorTest, EmptyStrokeMakesNoHostCall) {
    CBrushKernel kernel;
    editor_.SetBrush(&kernel);
    editor_.CommitStroke();
    editor_.PushToHost();
    editor_.RestoreFromStroke();
    EXPECT_TRUE(TheFakeHost().calls.empty());
    EXPECT_EQ(0, editor_.MapBlockCount());
}

TEST_F(MapEditorTest, ZeroWeightStrokeBlockStillLoadsCommitsAndPushes) {
    CBrushKernel kernel;
    editor_.SetBrush(&kernel);
    editor_.BeginStroke();
    ASSERT_NE(nullptr, editor_.FindOrCreateStrokeBlock(101));
    editor_.CommitStroke();
    ASSERT_EQ(1, Fetches());
    const int16_t* samples = editor_.FindBlock(101);
    ASSERT_NE(nullptr, samples);
    EXPECT_EQ(FakeHostSample(10100, 77), samples[77]) << "untouched samples keep their value";
    editor_.PushToHost();
    ASSERT_EQ(1, Pushes());
    EXPECT_EQ(10100, TheFakeHost().calls.back().blockId);
    EXPECT_EQ(0, std::memcmp(samples, TheFakeHost().calls.back().samples.data(), kBlockBytes));
}

TEST_F(MapEditorTest, StrokeCommitUndoRestoresExactlyAndOnce) {
    CBrushKernel kernel;
    editor_.SetBrush(&kernel);
    std::vector<int16_t> before(editor_.FindOrLoadBlock(0), editor_.FindOrLoadBlock(0) + kBlockSamples);
    editor_.BeginStroke();
    int16_t* weights = editor_.FindOrCreateStrokeBlock(0);
    weights[10] = 255;
    weights[11] = 128;
    editor_.FindOrCreateStrokeBlock(1)[5] = 255;  // a block not yet held: fetched at commit
    editor_.CommitStroke();
    EXPECT_EQ(before[10] + 1020, editor_.FindBlock(0)[10]);
    EXPECT_EQ(before[12], editor_.FindBlock(0)[12]);
    EXPECT_EQ(2, editor_.MapBlockCount());

    editor_.RestoreFromStroke();
    editor_.PushToHost();
    editor_.ClearStroke();
    EXPECT_EQ(0, std::memcmp(before.data(), editor_.FindBlock(0), kBlockBytes));
    EXPECT_EQ(FakeHostSample(100, 5), editor_.FindBlock(1)[5]);
    EXPECT_EQ(0, editor_.StrokeBlockCount());
    size_t calls = TheFakeHost().calls.size();

    editor_.RestoreFromStroke();  // a second undo finds nothing
    editor_.PushToHost();
    EXPECT_EQ(calls, TheFakeHost().calls.size());
    EXPECT_EQ(0, std::memcmp(before.data(), editor_.FindBlock(0), kBlockBytes));
}

TEST_F(MapEditorTest, HostThatDeliversNothingLeavesSeaLevel) {
    TheFakeHost().delivers = false;
    int16_t* samples = editor_.FindOrLoadBlock(4);
    ASSERT_NE(nullptr, samples);
    for (int i = 0; i < kBlockSamples; i += 997) ASSERT_EQ(0, samples[i]) << "sample " << i;
}

TEST_F(MapEditorTest, AllocationFailureChangesNothing) {
    editor_.FindOrLoadBlock(1);
    g_allocationBudget = 0;
    EXPECT_EQ(-1, editor_.LoadBlock(2));
    EXPECT_EQ(-1, editor_.NewStrokeBlock(2));
    EXPECT_EQ(nullptr, editor_.FindOrLoadBlock(2));
    EXPECT_EQ(nullptr, editor_.FindOrCreateStrokeBlock(2));
    EXPECT_EQ(1, editor_.MapBlockCount());
    EXPECT_EQ(0, editor_.StrokeBlockCount());
    EXPECT_EQ(1, Fetches()) << "a block that cannot be allocated is not asked for";
    EXPECT_NE(nullptr, editor_.FindBlock(1)) << "the cache still answers for the held block";
}

TEST_F(MapEditorTest, CommitSkipsAStrokeBlockWhoseMapBlockCannotBeHad) {
    CBrushKernel kernel;
    editor_.SetBrush(&kernel);
    editor_.FindOrCreateStrokeBlock(7)[0] = 255;
    editor_.FindOrCreateStrokeBlock(8)[0] = 255;
    editor_.FindOrLoadBlock(8);
    g_allocationBudget = 0;
    editor_.CommitStroke();
    EXPECT_EQ(nullptr, editor_.FindBlock(7));
    EXPECT_EQ(FakeHostSample(800, 0) + 1020, editor_.FindBlock(8)[0]);
    editor_.PushToHost();
    EXPECT_EQ(1, Pushes()) << "only the held block is pushed";
    // The skipped block still holds weights, so it is no undo copy: once its map block
    // can be had, undo must leave it alone.
    EXPECT_EQ(1, editor_.StrokeBlockCount());
    g_allocationBudget = -1;
    std::vector<int16_t> loaded(editor_.FindOrLoadBlock(7), editor_.FindOrLoadBlock(7) + kBlockSamples);
    editor_.RestoreFromStroke();
    EXPECT_EQ(0, std::memcmp(loaded.data(), editor_.FindBlock(7), kBlockBytes));
    EXPECT_EQ(FakeHostSample(800, 0), editor_.FindBlock(8)[0]) << "the applied block is undone";
}

// A method that paints nothing (a damaged profile value) leaves the map as it was and
// nothing to undo: the stroke blocks hold weights, never map samples.
TEST_F(MapEditorTest, AStrokeThatPaintsNothingLeavesNothingToUndo) {
    CBrushKernel kernel;
    editor_.SetBrush(&kernel);
    for (int method : {0, 4, 7, -1, 99999}) {
        editor_.FreeAll();
        kernel.Build(20, method, 500, 1.0, 0.0);
        std::vector<int16_t> before(editor_.FindOrLoadBlock(0), editor_.FindOrLoadBlock(0) + kBlockSamples);
        editor_.BeginStroke();
        editor_.PaintLine(100, 100, 140, 120);
        editor_.CommitStroke();
        EXPECT_EQ(0, editor_.StrokeBlockCount()) << "method " << method;
        editor_.RestoreFromStroke();
        EXPECT_EQ(0, std::memcmp(before.data(), editor_.FindBlock(0), kBlockBytes)) << "method " << method;
    }
}

MapBlock* ExhaustedAllocate() { return nullptr; }

TEST_F(MapEditorTest, AnExhaustedAllocatorIsAnAllocationFailure) {
    SetMapBlockAllocator(ExhaustedAllocate, BudgetedFree);
    EXPECT_EQ(nullptr, editor_.FindOrLoadBlock(3));
    EXPECT_EQ(nullptr, editor_.FindOrCreateStrokeBlock(3));
    EXPECT_EQ(0, editor_.MapBlockCount());
}

}  // namespace

namespace {

struct CommitRow {
    const char* name;
    int size, method, altitude;
    double strength, shape;
    int64_t line[4];     // column0, row0, column1, row1
    int32_t extraCode;   // when >= 0: a sample written straight into this stroke block
};

// The same stroke applied block by block with the plain Apply, as the undo copy and the
// map must come out of the commit.
void CommitPlainly(CMapEditor& editor, const CBrushKernel& kernel) {
    for (int i = 0; i < editor.StrokeBlockCount(); ++i) {
        MapBlock* stroke = const_cast<MapBlock*>(editor.StrokeBlockAt(i));
        int16_t* map = editor.FindOrLoadBlock(stroke->code);
        if (map != nullptr) kernel.ApplyPlain(map, stroke->samples);
    }
}

}  // namespace

TEST_F(MapEditorTest, CommitOverTheStampedBoxMatchesApplyingWholeBlocks) {
    const CommitRow rows[] = {
        {"raise 32 across a block corner", 32, 1, 0, 0.5, 0.3, {270, 290, 369, 350}, -1},
        {"dig 5 against the mesh origin", 5, 2, 0, 1.0, 0.0, {-3, 2, 6, -4}, -1},
        {"flatten 17 over several blocks", 17, 3, 1500, 0.7, 0.5, {10, 10, 900, 700}, -1},
        {"raise 1 at a row's last column", 1, 1, 0, 1.0, 1.0, {319, 5, 319, 5}, -1},
        {"flatten 2 at a row's first column", 2, 3, -40, 1.0, 0.0, {320, 639, 320, 639}, -1},
        {"a stamped block also written directly", 8, 1, 0, 1.0, 0.2, {100, 100, 120, 110}, 0},
    };
    for (const CommitRow& row : rows) {
        CBrushKernel kernel;
        kernel.Build(row.size, row.method, row.altitude, row.strength, row.shape);
        CMapEditor plain;
        plain.SetMap(kMap);
        for (CMapEditor* editor : {&editor_, &plain}) {
            editor->FreeAll();
            editor->SetBrush(&kernel);
            editor->BeginStroke();
            editor->PaintLine(row.line[0], row.line[1], row.line[2], row.line[3]);
            if (row.extraCode >= 0) editor->FindOrCreateStrokeBlock(row.extraCode)[kBlockSamples - 1] = 200;
        }
        for (int pass = 1; pass <= 2; ++pass) {  // a second commit applies the undo copy as weights
            editor_.CommitStroke();
            CommitPlainly(plain, kernel);
            ASSERT_EQ(plain.StrokeBlockCount(), editor_.StrokeBlockCount()) << row.name;
            ASSERT_EQ(plain.MapBlockCount(), editor_.MapBlockCount()) << row.name;
            for (int i = 0; i < plain.StrokeBlockCount(); ++i) {
                EXPECT_EQ(0, std::memcmp(plain.StrokeBlockAt(i)->samples, editor_.StrokeBlockAt(i)->samples, kBlockBytes))
                    << row.name << ", commit " << pass << ": undo copy of block " << plain.StrokeBlockAt(i)->code;
            }
            for (int i = 0; i < plain.MapBlockCount(); ++i) {
                EXPECT_EQ(0, std::memcmp(plain.MapBlockAt(i)->samples, editor_.MapBlockAt(i)->samples, kBlockBytes))
                    << row.name << ", commit " << pass << ": map block " << plain.MapBlockAt(i)->code;
            }
        }
    }
}
