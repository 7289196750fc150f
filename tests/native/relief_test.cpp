// The fast renderer against the reference renderer, pixel for pixel, at zooms from 16
// to -64, with views that run past every edge of the map.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "devhost/app/overview.h"
#include "devhost/app/relief.h"
#include "tests/native/reference_relief.h"
#include "tests/native/view_map.h"

namespace {

const uint32_t kGrey = 0x00707070;

struct ViewCase {
    const char* name;
    int zoom;
    double originColumn, originRow;
    int width, height;
};

// 700 x 500 cells: partial blocks on the east and south edges.
const ViewCase kViews[] = {
    {"zoom 16 inside", 16, 100.25, 80.5, 320, 240},
    {"zoom 5 across block corners", 5, 290.3, 300.9, 333, 211},
    {"zoom 2 past the east and south edges", 2, 600.0, 420.0, 400, 300},
    {"zoom 1 whole map and beyond", 1, -20.5, -10.25, 1024, 768},
    {"zoom 1 north-west outside", 1, -300.0, -200.0, 500, 400},
    {"zoom -2", -2, -3.0, 7.0, 400, 300},
    {"zoom -3 fractional origin", -3, 1.7, -0.3, 300, 200},
    {"zoom -7", -7, -100.0, -100.0, 150, 100},
    {"zoom -40", -40, -1000.0, -800.0, 100, 80},
    {"zoom -64", -64, -5000.0, 0.0, 300, 40},
};

ReliefView ViewOf(const ViewCase& row) {
    ReliefView view;
    view.width = row.width;
    view.height = row.height;
    view.originColumn = row.originColumn;
    view.originRow = row.originRow;
    view.zoom = row.zoom;
    view.cellMetresX = 71.3;
    view.cellMetresY = 92.6;
    return view;
}

// Index of the first pixel that differs, or -1.
long FirstDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return static_cast<long>(i);
    }
    return -1;
}

class ReliefTest : public ::testing::Test {
protected:
    ReliefTest() : map_(700, 500), levels_(&cache_) {
        levels_.Reset(map_.width, map_.height, [this](int32_t code, int16_t* samples) {
            std::memcpy(samples, map_.blocks.at(code).data(), kMapBlockBytes);
        });
    }

    ViewMap map_;
    BlockCache cache_;
    OverviewLevels levels_;
    ReliefRenderer renderer_;
};

TEST_F(ReliefTest, MapLevelIsPixelIdenticalToTheReferenceAtEveryZoom) {
    for (const ViewCase& row : kViews) {
        ReliefView view = ViewOf(row);
        std::vector<uint32_t> expected(size_t(view.width) * view.height), actual(expected.size(), 1);
        ReferenceRenderRelief(view, [this](int64_t c, int64_t r, bool* valid) {
            *valid = c >= 0 && r >= 0 && c < map_.width && r < map_.height;
            return *valid ? map_.At(c, r) : int16_t(0);
        }, expected.data());
        cache_.BeginFrame();
        renderer_.Render(view, levels_.Grid(0), actual.data());
        cache_.EndFrame();
        long at = FirstDifference(expected, actual);
        EXPECT_EQ(at, -1) << row.name << ": pixel (" << at % view.width << ", " << at / view.width << ")";
    }
}

// A frame at zoom -2^k drawn from level k is the reference renderer at one pixel per
// sample over the level's means.
TEST_F(ReliefTest, OverviewLevelsAreTheReferenceOverTheLevelsMeans) {
    const ViewCase kLevelViews[] = {
        {"zoom -4", -4, -37.0, 13.5, 300, 200},
        {"zoom -8", -8, 100.0, -60.0, 120, 90},
        {"zoom -32", -32, -200.0, -100.0, 60, 40},
        {"zoom -64", -64, -640.0, -320.0, 40, 30},
    };
    for (const ViewCase& row : kLevelViews) {
        ReliefView view = ViewOf(row);
        int level = ReliefLevelFor(view.zoom);
        ASSERT_EQ(1 << level, -view.zoom) << row.name;
        ReliefView levelView = view;
        levelView.zoom = 1;
        levelView.originColumn = view.originColumn / (1 << level);
        levelView.originRow = view.originRow / (1 << level);
        levelView.cellMetresX = view.cellMetresX * (1 << level);
        levelView.cellMetresY = view.cellMetresY * (1 << level);
        std::vector<uint32_t> expected(size_t(view.width) * view.height), actual(expected.size(), 1);
        ReferenceRenderRelief(levelView, [&](int64_t c, int64_t r, bool* valid) {
            *valid = c >= 0 && r >= 0 && c < levels_.Columns(level) && r < levels_.Rows(level);
            return *valid ? map_.Mean(level, c, r) : int16_t(0);
        }, expected.data());
        cache_.BeginFrame();
        renderer_.Render(view, levels_.Grid(level), actual.data());
        cache_.EndFrame();
        long at = FirstDifference(expected, actual);
        EXPECT_EQ(at, -1) << row.name << ": pixel (" << at % view.width << ", " << at / view.width << ")";
    }
}

// The parts of the edge blocks beyond the map hold 30000 m, which would show white.
TEST_F(ReliefTest, BeyondTheMapsEdgeIsGreyNotTheEdgeBlocksData) {
    ReliefView view = ViewOf({"edge", 1, 650.0, 450.0, 100, 100});
    std::vector<uint32_t> pixels(100 * 100);
    cache_.BeginFrame();
    renderer_.Render(view, levels_.Grid(0), pixels.data());
    cache_.EndFrame();
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            bool inside = 650 + x < 700 && 450 + y < 500;
            if (inside) {
                ASSERT_NE(pixels[y * 100 + x], kGrey) << "pixel " << x << ", " << y;
            } else {
                ASSERT_EQ(pixels[y * 100 + x], kGrey) << "pixel " << x << ", " << y;
            }
        }
    }
}

// Voids (cells without an elevation) show in their own colour at every level: a void
// never passes for deep sea, and an overview sample is the mean of the cells around it
// that are not voids, or a void where all of them are.
TEST_F(ReliefTest, VoidsShowAsVoidsAndStayOutOfTheOverviewMeans) {
    const int16_t kVoid = -32768;
    for (int r = 100; r < 164; ++r) {
        for (int c = 102; c < 166; ++c) map_.Set(c, r, kVoid);
    }
    levels_.Reset(map_.width, map_.height, [this](int32_t code, int16_t* samples) {
        std::memcpy(samples, map_.blocks.at(code).data(), kMapBlockBytes);
    }, true, kVoid);
    renderer_.SetVoid(true, kVoid);
    const struct {
        int zoom, level;
    } rows[] = {{1, 0}, {-4, 2}};
    for (const auto& row : rows) {
        const int span = 1 << row.level;
        ReliefView view = ViewOf({"voids", row.zoom, 96.0, 96.0, 80 / span, 80 / span});
        std::vector<uint32_t> pixels(size_t(view.width) * view.height);
        cache_.BeginFrame();
        renderer_.Render(view, levels_.Grid(row.level), pixels.data());
        cache_.EndFrame();
        for (int y = 0; y < view.height; ++y) {
            for (int x = 0; x < view.width; ++x) {
                // The level's sample under the pixel: void only when all its cells are.
                int c0 = 96 + x * span, r0 = 96 + y * span;
                long sum = 0, count = 0;
                for (int r = r0; r < r0 + span; ++r) {
                    for (int c = c0; c < c0 + span; ++c) {
                        if (map_.At(c, r) != kVoid) sum += map_.At(c, r), ++count;
                    }
                }
                bool isVoid = count == 0;
                ASSERT_EQ(isVoid, pixels[size_t(y) * view.width + x] == kVoidColour)
                    << "zoom " << row.zoom << " pixel " << x << ", " << y;
                if (row.level > 0 && !isVoid) {
                    const int16_t* block = levels_.Block(row.level, 0, 0);
                    ASSERT_EQ(std::lround(double(sum) / count), block[(r0 / span) * kMapBlockSide + c0 / span])
                        << "level " << row.level << " sample " << c0 / span << ", " << r0 / span;
                }
            }
        }
    }
}

TEST(ReliefLevelTest, ZoomsChooseALevelWithOneToTwoSamplesPerPixel) {
    const struct {
        int zoom, level;
    } kRows[] = {{16, 0}, {1, 0}, {-2, 0}, {-3, 0}, {-4, 2}, {-7, 2}, {-8, 3}, {-40, 5}, {-64, 6}, {-500, 6}};
    for (const auto& row : kRows) EXPECT_EQ(ReliefLevelFor(row.zoom), row.level) << "zoom " << row.zoom;
}

}  // namespace
