#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include <string>
#include <utility>
#include <vector>

#include "engine/brush_kernel.h"
#include "engine/map_editor.h"
#include "engine/mesh_line.h"
#include "engine/wide_math.h"
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

// Every point of the line, walked step by step from the start.
std::vector<std::pair<int64_t, int64_t>> PlainWalk(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    std::vector<std::pair<int64_t, int64_t>> points;
    int64_t dx = std::abs(x1 - x0), dy = std::abs(y1 - y0), sx = x0 > x1 ? -1 : 1, sy = y0 > y1 ? -1 : 1;
    bool columnMajor = dx > dy;
    int64_t major = std::max(dx, dy), minor = std::min(dx, dy), x = x0, y = y0;
    for (int64_t d = 2 * minor - major;; d += d >= 0 ? 2 * (minor - major) : 2 * minor) {
        points.emplace_back(x, y);
        if (points.size() > size_t(major)) return points;
        if (d >= 0) (columnMajor ? y : x) += columnMajor ? sy : sx;
        (columnMajor ? x : y) += columnMajor ? sx : sy;
    }
}

// The stretch inside a rectangle is exactly the walk's points that lie inside it, for
// lines in every direction, inside, crossing and far outside the rectangle.
TEST(MeshLineTest, StretchInsideMatchesThePlainWalk) {
    std::mt19937_64 random(3);
    auto coordinate = [&random](int64_t spread) {
        return static_cast<int64_t>(random() % static_cast<uint64_t>(2 * spread + 1)) - spread;
    };
    for (int i = 0; i < 2000; ++i) {
        int64_t spread = i % 4 == 0 ? 3 : i % 4 == 1 ? 40 : i % 4 == 2 ? 2000 : 20000;
        int64_t x0 = coordinate(spread), y0 = coordinate(spread), x1 = coordinate(spread), y1 = coordinate(spread);
        // A rectangle that cuts the line at a random stretch (or misses it), or a far one.
        auto corner = [&random](int64_t a, int64_t b) {
            int64_t low = std::min(a, b) - 2, span = std::max(a, b) + 2 - low;
            return low + static_cast<int64_t>(random() % (span + 1));
        };
        int64_t left = corner(x0, x1), top = corner(y0, y1);
        int64_t right = left + static_cast<int64_t>(random() % (std::abs(x1 - x0) / 2 + 3));
        int64_t bottom = top + static_cast<int64_t>(random() % (std::abs(y1 - y0) / 2 + 3));
        if (i % 10 == 0) {
            left += 1000000;
            right += 1000000;
        }
        std::vector<std::pair<int64_t, int64_t>> expected;
        for (const auto& point : PlainWalk(x0, y0, x1, y1)) {
            if (point.first >= left && point.first <= right && point.second >= top && point.second <= bottom) {
                expected.push_back(point);
            }
        }
        MeshLine line(x0, y0, x1, y1);
        std::vector<std::pair<int64_t, int64_t>> walked;
        int64_t first = 0, last = 0;
        if (line.StepsInside(left, right, top, bottom, &first, &last)) {
            line.Walk(first, last, [&walked](int64_t x, int64_t y) { walked.emplace_back(x, y); });
        }
        ASSERT_EQ(expected, walked) << x0 << "," << y0 << " -> " << x1 << "," << y1 << " in " << left << ".." << right
                                    << " x " << top << ".." << bottom;
    }
}

struct FarLineRow {
    const char* name;
    int size;
    int64_t line[4];        // what PaintLine is given
    int64_t plainLine[4];   // a line the plain walk stamps the same way, or equal to `line`
};

// Stroke blocks after PaintLine match those of stamping every point of the plain walk, for
// lines that leave the mesh; for lines too long to walk, a shorter line with the same
// stamps on the mesh stands in.
TEST_F(StampTest, LinesReachingOffTheMeshStampAsThePlainWalk) {
    const int64_t far = 1000000000000;  // a trillion cells off
    const int64_t lastColumn = kMaxMeshColumns - 1, lastRow = kMaxMeshRows - 1;
    const FarLineRow rows[] = {
        {"from far left across the origin", 5, {-3000, -1000, 40, 30}, {-3000, -1000, 40, 30}},
        {"steep, from above the mesh", 9, {7, -5000, 60, 400}, {7, -5000, 60, 400}},
        {"past the last column and row", 4, {lastColumn - 50, lastRow - 20, lastColumn + 900, lastRow + 300},
         {lastColumn - 50, lastRow - 20, lastColumn + 900, lastRow + 300}},
        {"wholly off the mesh", 32, {-9000, 5, -100, 50}, {-9000, 5, -100, 50}},
        {"a trillion cells along a row", 6, {-far, 100, 20, 100}, {-6, 100, 20, 100}},
        {"a trillion cells along a diagonal", 3, {far, far, lastRow - 10, lastRow - 10},
         {lastRow + 3, lastRow + 3, lastRow - 10, lastRow - 10}},
    };
    for (const FarLineRow& row : rows) {
        kernel_.Build(row.size, 1, 0, 1.0, 0.3);
        CMapEditor reference;
        const int64_t* p = row.plainLine;
        for (const auto& point : PlainWalk(p[0], p[1], p[2], p[3])) kernel_.Stamp(reference, point.first, point.second);
        editor_.ClearStroke();
        editor_.PaintLine(row.line[0], row.line[1], row.line[2], row.line[3]);
        ASSERT_EQ(reference.StrokeBlockCount(), editor_.StrokeBlockCount()) << row.name;
        for (int b = 0; b < reference.StrokeBlockCount(); ++b) {
            EXPECT_EQ(reference.StrokeBlockAt(b)->code, editor_.StrokeBlockAt(b)->code) << row.name << ", block " << b;
            EXPECT_EQ(0, std::memcmp(reference.StrokeBlockAt(b)->samples, editor_.StrokeBlockAt(b)->samples, kBlockBytes))
                << row.name << ", block " << b;
        }
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

// The 32-bit builds' digit-wise multiply-divide agrees with 128-bit arithmetic, at the
// edges of each digit and on random operands whose quotient fits in 64 bits.
TEST(WideMathTest, DigitsAgreeWith128BitArithmetic) {
    const uint64_t kMax = UINT64_MAX;
    struct Row { uint64_t a, b, c, d; };
    std::vector<Row> rows = {
        {0, 0, 0, 1},          {1, 1, 0, 1},           {kMax, 1, 0, 1},         {kMax, kMax, kMax, kMax},
        {1ull << 32, 1ull << 32, 0, 1ull << 32},       {kMax, kMax, 0, kMax - 1},
        {6, 7, 1, 2},          {0xFFFFFFFFull, 0xFFFFFFFFull, 0xFFFFFFFFull, 0x100000000ull},
        {1ull << 63, 2, 1, 1ull << 63},                {(1ull << 33) - 2, (1ull << 32) + 1, 1ull << 32, 1ull << 33},
    };
    std::mt19937_64 random(11);
    for (int i = 0; i < 20000; ++i) {
        int bits = 1 + static_cast<int>(random() % 64);
        uint64_t d = (random() >> (64 - bits)) | 1;
        uint64_t a = random() >> (random() % 64), b = random() >> (random() % 64);
        if (static_cast<unsigned __int128>(a) * b / d > kMax) continue;
        rows.push_back({a, b, random() >> (random() % 64), d});
    }
    for (const Row& row : rows) {
        unsigned __int128 sum = static_cast<unsigned __int128>(row.a) * row.b + row.c;
        if (sum / row.d > kMax) continue;
        EXPECT_EQ(static_cast<uint64_t>(sum / row.d), MulAddDivFloorDigits(row.a, row.b, row.c, row.d))
            << row.a << " * " << row.b << " + " << row.c << " / " << row.d;
    }
    EXPECT_EQ(INT64_MAX, SaturatingSubtract(INT64_MAX, -1));
    EXPECT_EQ(INT64_MIN, SaturatingSubtract(INT64_MIN, 1));
    EXPECT_EQ(-5, SaturatingSubtract(-2, 3));
}
