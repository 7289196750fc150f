#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <string>
#include <utility>
#include <vector>

#include "engine/brush_kernel.h"
#include "engine/map_editor.h"
#include "tests/native/fake_host.h"

namespace {

// The (2 size - 1)-wide window of the stamp around its centre, row by row.
std::vector<int> Window(const CBrushKernel& kernel) {
    std::vector<int> cells;
    int d = kernel.size - 1;
    for (int i = -d; i <= d; ++i) {
        for (int j = -d; j <= d; ++j) cells.push_back(kernel.stamp[kStampCentre + i][kStampCentre + j]);
    }
    return cells;
}

struct KernelRow {
    const char* name;
    int size;
    double shape;
    std::vector<int> window;
};

TEST(BrushKernelBuildTest, GoldenWindows) {
    const KernelRow rows[] = {
        {"size 1", 1, 0.0, {255}},
        {"size 2 shape 0", 2, 0.0, {75, 128, 75, 128, 255, 128, 75, 128, 75}},
        {"size 4 shape 0", 4, 0.0,
         {0, 26, 54, 64, 54, 26, 0, 26, 75, 113, 128, 113, 75, 26, 54, 113, 165, 192, 165, 113, 54,
          64, 128, 192, 255, 192, 128, 64, 54, 113, 165, 192, 165, 113, 54, 26, 75, 113, 128, 113, 75,
          26, 0, 26, 54, 64, 54, 26, 0}},
        {"size 4 shape 0.25", 4, 0.25,
         {0, 33, 69, 82, 69, 33, 0, 33, 95, 138, 154, 138, 95, 33, 69, 138, 192, 215, 192, 138, 69,
          82, 154, 215, 255, 215, 154, 82, 69, 138, 192, 215, 192, 138, 69, 33, 95, 138, 154, 138, 95,
          33, 0, 33, 69, 82, 69, 33, 0}},
        {"size 3 shape 0.5", 3, 0.5,
         {29, 114, 142, 114, 29, 114, 199, 227, 199, 114, 142, 227, 255, 227, 142, 114, 199, 227,
          199, 114, 29, 114, 142, 114, 29}},
    };
    for (const KernelRow& row : rows) {
        CBrushKernel kernel;
        EXPECT_EQ(1, kernel.Build(row.size, 1, 0, 1.0, row.shape));
        EXPECT_EQ(row.window, Window(kernel)) << row.name;
    }
}

TEST(BrushKernelBuildTest, FlatShapeOutsideZeroAndParameters) {
    CBrushKernel kernel;
    kernel.Build(5, 3, 1000, 0.5, 1.0);
    for (int i = 0; i < kStampSide; ++i) {
        for (int j = 0; j < kStampSide; ++j) {
            int di = i - kStampCentre, dj = j - kStampCentre;
            bool inside = static_cast<int>(std::hypot(di, dj)) <= 4;
            ASSERT_EQ(inside ? 255 : 0, kernel.stamp[i][j]) << i << "," << j;
        }
    }
    EXPECT_EQ(5, kernel.size);
    EXPECT_EQ(3, kernel.method);
    EXPECT_EQ(1001, kernel.targetAltitude);
    EXPECT_EQ(127, kernel.strength);
    kernel.Build(1, 1, 0, 0.01, 0.0);
    EXPECT_EQ(2, kernel.strength);
}

TEST(BrushKernelBuildTest, HostileValuesAreClampedToTheBrushRange) {
    const struct {
        int size, expectedSize;
        double strength;
        int expectedStrength;
        int altitude, expectedTarget;
    } rows[] = {
        {0, 1, -3.0, 0, INT32_MAX, INT32_MAX},
        {-40, 1, 0.5, 127, -1, 0},
        {33, 32, 42949672.95, 255, 0, 1},
        {100000, 32, 1.0, 255, INT32_MIN, INT32_MIN + 1},
    };
    for (const auto& row : rows) {
        CBrushKernel kernel;
        kernel.Build(row.size, 1, row.altitude, row.strength, 0.0);
        EXPECT_EQ(row.expectedSize, kernel.size) << "size " << row.size;
        EXPECT_EQ(row.expectedStrength, kernel.strength) << "strength " << row.strength;
        EXPECT_EQ(row.expectedTarget, kernel.targetAltitude) << "altitude " << row.altitude;
    }
}

class StampTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheFakeHost().Reset();
        editor_.SetMap(1);
        editor_.SetBrush(&kernel_);
    }

    // Every touched stroke sample as (row, col) -> weight, over all stroke blocks.
    std::vector<std::pair<std::string, int>> Touched() const {
        std::vector<std::pair<std::string, int>> cells;
        for (int b = 0; b < editor_.StrokeBlockCount(); ++b) {
            const MapBlock* block = editor_.StrokeBlockAt(b);
            for (int k = 0; k < kBlockSamples; ++k) {
                if (block->samples[k] == 0) continue;
                cells.emplace_back(std::to_string(block->code) + ":" + std::to_string(k), block->samples[k]);
            }
        }
        return cells;
    }
    std::vector<int32_t> StrokeCodes() const {
        std::vector<int32_t> codes;
        for (int b = 0; b < editor_.StrokeBlockCount(); ++b) codes.push_back(editor_.StrokeBlockAt(b)->code);
        return codes;
    }

    CBrushKernel kernel_;
    CMapEditor editor_;
};

TEST_F(StampTest, SizeOneTouchesOneSample) {
    kernel_.Build(1, 1, 0, 1.0, 0.0);
    kernel_.Stamp(editor_, 970, 650);
    auto touched = Touched();
    ASSERT_EQ(1u, touched.size());
    EXPECT_EQ("203:3210", touched[0].first);
    EXPECT_EQ(255, touched[0].second);
}

TEST_F(StampTest, TwiceIsOnce) {
    kernel_.Build(6, 1, 0, 1.0, 0.3);
    kernel_.Stamp(editor_, 500, 500);
    auto once = Touched();
    kernel_.Stamp(editor_, 500, 500);
    EXPECT_EQ(once, Touched());
}

TEST_F(StampTest, ZeroCornersStillCreateStrokeBlocks) {
    kernel_.Build(4, 1, 0, 1.0, 0.0);
    // The window of (322, 322) spans 319..325; block 0 holds only its top-left corner
    // (319, 319), whose weight is 0.
    kernel_.Stamp(editor_, 322, 322);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 100, 101}), StrokeCodes()) << "created in row order";
    const MapBlock* corner = editor_.StrokeBlockAt(0);
    for (int k = 0; k < kBlockSamples; ++k) ASSERT_EQ(0, corner->samples[k]) << k;
    EXPECT_EQ(255, editor_.StrokeBlockAt(3)->samples[2 * 320 + 2]);
}

TEST_F(StampTest, NegativeMeshCoordinatesAreSkippedAtTheOrigin) {
    kernel_.Build(4, 1, 0, 1.0, 0.0);
    kernel_.Stamp(editor_, 0, 0);
    EXPECT_EQ((std::vector<int32_t>{0}), StrokeCodes());
    auto touched = Touched();
    const MapBlock* block = editor_.StrokeBlockAt(0);
    EXPECT_EQ(255, block->samples[0]);
    EXPECT_EQ(192, block->samples[1]);
    EXPECT_EQ(192, block->samples[320]);
    EXPECT_EQ(0, block->samples[3 * 320 + 3]);
    EXPECT_EQ(0, block->samples[4]) << "beyond the radius";
    EXPECT_EQ(15u, touched.size()) << "the 4 x 4 quadrant of a size 4 disc minus its zero corner";
    editor_.ClearStroke();
    kernel_.Stamp(editor_, -10, -10);
    EXPECT_EQ(0, editor_.StrokeBlockCount()) << "a window wholly at negative coordinates touches nothing";
}

// The stamp cell by cell, one block lookup per cell, as the brush is defined.
void StampCellByCell(const CBrushKernel& kernel, CMapEditor& editor, long a, long b) {
    int d = kernel.size - 1;
    for (long i = b - d; i <= b + d; ++i) {
        for (long j = a - d; j <= a + d; ++j) {
            int w = kernel.stamp[kStampCentre + (i - b)][kStampCentre + (j - a)];
            int32_t code = 0, index = 0;
            if (!LocateSample(j, i, &code, &index)) continue;
            int16_t* samples = editor.FindOrCreateStrokeBlock(code);
            if (samples != nullptr && samples[index] < w) samples[index] = static_cast<int16_t>(w);
        }
    }
}

TEST_F(StampTest, RunsOfCellsMatchTheCellByCellStamp) {
    const struct {
        int size;
        long column, row;
    } rows[] = {{32, 319, 319}, {32, 640, 10}, {17, 0, 330}, {32, 5, 5}, {9, 959, 641}, {32, 31999, 31990}};
    for (const auto& row : rows) {
        kernel_.Build(row.size, 1, 0, 1.0, 0.2);
        CMapEditor reference;
        StampCellByCell(kernel_, reference, row.column, row.row);
        editor_.ClearStroke();
        kernel_.Stamp(editor_, row.column, row.row);
        ASSERT_EQ(reference.StrokeBlockCount(), editor_.StrokeBlockCount()) << row.column << "," << row.row;
        for (int b = 0; b < reference.StrokeBlockCount(); ++b) {
            EXPECT_EQ(reference.StrokeBlockAt(b)->code, editor_.StrokeBlockAt(b)->code)
                << "creation order, block " << b << " at " << row.column << "," << row.row;
            EXPECT_EQ(0, std::memcmp(reference.StrokeBlockAt(b)->samples, editor_.StrokeBlockAt(b)->samples,
                                     kBlockBytes))
                << "block " << b << " at " << row.column << "," << row.row;
        }
    }
}

struct LineRow {
    long x0, y0, x1, y1;
    std::vector<std::pair<long, long>> points;
};

TEST_F(StampTest, LinePointLists) {
    const LineRow rows[] = {
        {0, 0, 10, 5, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {6, 3}, {7, 4}, {8, 4}, {9, 5}, {10, 5}}},
        {10, 5, 0, 0, {{10, 5}, {9, 4}, {8, 4}, {7, 3}, {6, 3}, {5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}, {0, 0}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {0, 0, 10, 3, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}, {7, 2}, {8, 2}, {9, 3}, {10, 3}}},
        {7, 7, 7, 7, {{7, 7}}},
        {2, 9, 2, 5, {{2, 9}, {2, 8}, {2, 7}, {2, 6}, {2, 5}}},
    };
    kernel_.Build(1, 1, 0, 1.0, 0.0);
    for (const LineRow& row : rows) {
        editor_.ClearStroke();
        editor_.PaintLine(row.x0, row.y0, row.x1, row.y1);
        ASSERT_EQ(1, editor_.StrokeBlockCount());
        std::vector<std::pair<long, long>> points;
        const MapBlock* block = editor_.StrokeBlockAt(0);
        for (int k = 0; k < kBlockSamples; ++k) {
            if (block->samples[k] != 0) points.emplace_back(k % kBlockSide, k / kBlockSide);
        }
        std::vector<std::pair<long, long>> expected = row.points;
        std::sort(expected.begin(), expected.end(),
                  [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
        EXPECT_EQ(expected, points) << row.x0 << "," << row.y0 << " -> " << row.x1 << "," << row.y1;
    }
}

TEST_F(StampTest, StrokeRaisesAlongTheLineAndUndoRestores) {
    kernel_.Build(3, 1, 0, 1.0, 0.5);
    editor_.BeginStroke();
    editor_.PaintLine(100, 100, 110, 100);
    editor_.CommitStroke();
    const int16_t* samples = editor_.FindBlock(0);
    ASSERT_NE(nullptr, samples);
    EXPECT_EQ(FakeHostSample(0, 100 * 320 + 105) + 1020, samples[100 * 320 + 105]);
    EXPECT_EQ(FakeHostSample(0, 102 * 320 + 105) + (4 * 255 * 142) / 255, samples[102 * 320 + 105]);
    EXPECT_EQ(FakeHostSample(0, 103 * 320 + 105), samples[103 * 320 + 105]);
    editor_.RestoreFromStroke();
    EXPECT_EQ(FakeHostSample(0, 100 * 320 + 105), samples[100 * 320 + 105]);
}

}  // namespace
