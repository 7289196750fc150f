// The view's block cache and overview levels, the status bar's positions and the change
// summary of a session.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devhost/app/block_cache.h"
#include "devhost/app/geo_text.h"
#include "devhost/app/overview.h"
#include "devhost/app/relief.h"
#include "devhost/app/summary.h"
#include "devhost/hpi/mesh_cell.h"
#include "mapstore/map_file.h"
#include "tests/native/view_map.h"

namespace {

const size_t kBlockBytes = kMapBlockBytes;

TEST(BlockCacheTest, EvictsTheLeastRecentlyUsedBlockOutsideAFrame) {
    BlockCache cache(3 * kBlockBytes);
    for (uint64_t key = 1; key <= 3; ++key) cache.Insert(key)[0] = int16_t(key);
    ASSERT_NE(cache.Find(1), nullptr);  // 2 is now the least recently used
    cache.Insert(4);
    EXPECT_EQ(cache.Find(2), nullptr);
    for (uint64_t key : {1, 3}) {
        ASSERT_NE(cache.Find(key), nullptr) << key;
        EXPECT_EQ(cache.Find(key)[0], int16_t(key));
    }
    EXPECT_EQ(cache.bytes(), 3 * kBlockBytes);
}

// Every block a frame uses stays put while the frame is open, however far past the budget
// it goes; the next insertion after the frame brings the cache back within its budget.
TEST(BlockCacheTest, NeverEvictsABlockOfTheOpenFrame) {
    BlockCache cache(2 * kBlockBytes);
    cache.Insert(100);
    cache.BeginFrame();
    std::vector<int16_t*> used;
    for (uint64_t key = 0; key < 6; ++key) {
        used.push_back(cache.Insert(key));
        used.back()[kMapBlockSamples - 1] = int16_t(700 + key);
    }
    EXPECT_EQ(cache.Find(100), nullptr) << "the block outside the frame goes first";
    for (uint64_t key = 0; key < 6; ++key) {
        EXPECT_EQ(cache.Find(key), used[key]) << key;
        EXPECT_EQ(used[key][kMapBlockSamples - 1], int16_t(700 + key)) << key;
    }
    cache.EndFrame();
    cache.Insert(42);
    EXPECT_LE(cache.bytes(), cache.budget());
}

class OverviewTest : public ::testing::Test {
protected:
    // The truth is what the host's view source holds: `map_` plays the display cache and
    // the file; the reader copies, as the host interface does.
    void Open(size_t budgetBlocks) {
        cache_.reset(new BlockCache(budgetBlocks * kBlockBytes));
        levels_.reset(new OverviewLevels(cache_.get()));
        levels_->Reset(map_.width, map_.height, [this](int32_t code, int16_t* samples) {
            ++reads_;
            std::memcpy(samples, map_.blocks.at(code).data(), kMapBlockBytes);
        });
    }

    // Every sample of every level inside the map against the mean of its cells.
    void ExpectLevelsMatch(const char* step, int firstLevel = 1) {
        for (int level = firstLevel; level <= kOverviewLevels; ++level) {
            for (int64_t r = 0; r < levels_->Rows(level); ++r) {
                for (int64_t c = 0; c < levels_->Columns(level); ++c) {
                    const int16_t* block = levels_->Block(level, int32_t(r / kMapBlockSide), int32_t(c / kMapBlockSide));
                    int16_t shown = block[(r % kMapBlockSide) * kMapBlockSide + c % kMapBlockSide];
                    ASSERT_EQ(shown, map_.Mean(level, c, r)) << step << ": level " << level << " sample " << c << ", " << r;
                }
            }
        }
    }

    void Paint(int32_t column, int32_t row, int16_t value) {
        for (int32_t r = row; r < row + 25 && r < map_.height; ++r) {
            for (int32_t c = column; c < column + 25 && c < map_.width; ++c) map_.Set(c, r, value);
        }
    }

    ViewMap map_{700, 660};
    std::unique_ptr<BlockCache> cache_;
    std::unique_ptr<OverviewLevels> levels_;
    long reads_ = 0;
};

// A stroke across four map blocks, pushed to the host; a save that writes a block the
// view never saw; the undo that takes the stroke back; then the map opened afresh.
TEST_F(OverviewTest, LevelsFollowAnEditASaveAnUndoAndAReopen) {
    Open(4096);
    ExpectLevelsMatch("opened");
    ViewMap before = map_;
    Paint(310, 310, 2400);
    for (int32_t code : {MapBlockCode(310, 310), MapBlockCode(310, 320), MapBlockCode(320, 310), MapBlockCode(320, 320)}) {
        levels_->BlockChanged(code);
    }
    ExpectLevelsMatch("after the edit");
    Paint(690, 650, -400);  // the partial block at the south-east corner
    levels_->BlockChanged(MapBlockCode(650, 690));
    ExpectLevelsMatch("after the save");
    map_ = before;
    for (int32_t code : {MapBlockCode(310, 310), MapBlockCode(310, 320), MapBlockCode(320, 310), MapBlockCode(320, 320),
                         MapBlockCode(650, 690)}) {
        levels_->BlockChanged(code);
    }
    ExpectLevelsMatch("after the undo");
    Paint(0, 0, 100);
    Open(4096);
    ExpectLevelsMatch("reopened");
}

// Overviews are made from each map block once, and the survey does not fill the cache
// with map blocks.
TEST_F(OverviewTest, AWholeMapOverviewReadsEachMapBlockOnce) {
    Open(64);
    cache_->BeginFrame();
    levels_->Block(6, 0, 0);
    cache_->EndFrame();
    EXPECT_EQ(reads_, 3 * 3);
    EXPECT_EQ(cache_->count(), 1u);
}

// The survey between drawings makes levels 4 to 6 with one read of each map block, and
// an edit inside the tile it is working on is not lost.
TEST_F(OverviewTest, TheSurveyMakesTheDeepLevelsAheadOfNeedAndFollowsEdits) {
    Open(4096);
    int calls = 0;
    while (levels_->Survey(2)) {
        ASSERT_LT(++calls, 100) << "the survey never ends";
        if (calls == 2) {  // block (0, 1) is surveyed by now
            Paint(330, 10, 1500);
            levels_->BlockChanged(MapBlockCode(10, 330));
        }
    }
    const long surveyReads = reads_;
    EXPECT_GE(surveyReads, 9);
    EXPECT_LE(surveyReads, 2 * 9);
    ExpectLevelsMatch("surveyed", 4);
    EXPECT_EQ(reads_, surveyReads) << "levels 4 to 6 were made again";
    Paint(600, 600, -100);
    levels_->BlockChanged(MapBlockCode(600, 600));
    ExpectLevelsMatch("edited after the survey");
}

// A tight budget: the frame's blocks survive (the rendering matches a roomy cache's), the
// host's blocks are never freed or written, and afterwards the cache is back in budget.
TEST_F(OverviewTest, EvictionKeepsTheFramesBlocksAndNeverTouchesTheHostsBlocks) {
    std::vector<const int16_t*> hostBuffers;
    for (auto& entry : map_.blocks) hostBuffers.push_back(entry.second.data());
    const ViewMap original = map_;
    ReliefView view;
    view.width = 600;
    view.height = 500;
    view.originColumn = 100.5;
    view.originRow = 80.25;
    ReliefRenderer renderer;
    std::vector<uint32_t> roomy(600 * 500), tight(600 * 500);
    for (size_t budget : {size_t(4096), size_t(2)}) {
        Open(budget);
        std::vector<uint32_t>& pixels = budget == 2 ? tight : roomy;
        for (int frame = 0; frame < 3; ++frame) {
            view.originColumn += 37 * frame;
            cache_->BeginFrame();
            renderer.Render(view, levels_->Grid(0), pixels.data());
            cache_->EndFrame();
        }
        view.originColumn = 100.5;
    }
    EXPECT_EQ(roomy, tight);
    cache_->Insert(uint64_t(1) << 62);
    EXPECT_LE(cache_->bytes(), cache_->budget());
    size_t i = 0;
    for (auto& entry : map_.blocks) {
        EXPECT_EQ(entry.second.data(), hostBuffers[i++]);
        EXPECT_EQ(entry.second, original.blocks.at(entry.first)) << "block " << entry.first;
    }
}

TEST(GeoTextTest, StatusBarNamesTheSampleMapsCells) {
    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(std::string(ZOLVA_SAMPLES_DIR) + "/jacksboro.map", &error)) << error;
    // Cell centres of this 3-arc-second grid fall on whole multiples of 3 seconds.
    const struct {
        double column, row;
        const wchar_t* text;
    } kRows[] = {
        {0.5, 0.5, L"北緯 36°43'57.0\"  西経 84°24'48.0\""},
        {200.5, 170.5, L"北緯 36°35'27.0\"  西経 84°14'48.0\""},
        {402.5, 343.5, L"北緯 36°26'48.0\"  西経 84°04'42.0\""},
    };
    for (const auto& row : kRows) {
        EXPECT_EQ(GeoText(MeshToGeoPoint(reader.header(), row.column, row.row)), row.text) << row.column << ", " << row.row;
    }
    EXPECT_EQ(GeoText({-12.9999999, 45.5}), L"南緯 13°00'00.0\"  東経 45°30'00.0\"");
}

TEST(GeoTextTest, ParsesPlacesWithTheirHemispheresOnly) {
    const struct {
        const char* text;
        bool latitude, ok;
        double degrees;
    } kRows[] = {
        {"36.59N", true, true, 36.59}, {"84.25W", false, true, -84.25}, {"12.5S", true, true, -12.5},
        {"0E", false, true, 0.0},      {"36.59E", true, false, 0},      {"84W", true, false, 0},
        {"95N", true, false, 0},       {"181E", false, false, 0},       {"12", true, false, 0},
        {"N", true, false, 0},         {"-3N", true, false, 0},         {"1e999N", true, false, 0},
    };
    for (const auto& row : kRows) {
        double degrees = 99;
        EXPECT_EQ(ParseGeoCoordinate(row.text, row.latitude, &degrees), row.ok) << row.text;
        if (row.ok) {
            EXPECT_DOUBLE_EQ(degrees, row.degrees) << row.text;
        }
    }
    MapHeader header;
    header.originLat = 36.73291666666667;
    header.originLon = -84.41375;
    header.cellLat = header.cellLon = 1.0 / 1200;
    double column = 0, row = 0;
    GeoPointToMesh(header, MeshToGeoPoint(header, 200.5, 170.5), &column, &row);
    EXPECT_NEAR(column, 200.5, 1e-6);
    EXPECT_NEAR(row, 170.5, 1e-6);
}

// The east-edge block of a 330 x 330 map holds 10 columns of map; a change beyond them is
// no change to the map.
TEST(ChangeSummaryTest, CountsOnlySamplesInsideTheMap) {
    MapHeader header;
    header.width = header.height = 330;
    header.cellLat = header.cellLon = 1.0 / 1200;
    std::vector<int16_t> samples(330 * 330, 100);
    std::string original = ::testing::TempDir() + "summary_original.map";
    std::string edited = ::testing::TempDir() + "summary_edited.map";
    std::string error;
    ASSERT_TRUE(CreateMapFile(original, header, samples.data(), &error)) << error;
    ASSERT_TRUE(CreateMapFile(edited, header, samples.data(), &error)) << error;
    MapFileReader reader;
    ASSERT_TRUE(reader.Open(edited, &error)) << error;
    std::vector<int16_t> block(kMapBlockSamples);
    int32_t code = MapBlockCode(0, 320);
    ASSERT_TRUE(reader.ReadBlock(code, block.data(), &error)) << error;
    block[5 * kMapBlockSide + 5] += 7;      // column 325: inside
    block[5 * kMapBlockSide + 15] += 100;   // column 335: beyond the east edge
    block[200 * kMapBlockSide + 200] -= 9;  // column 520: beyond
    MapSaveSession session;
    ASSERT_TRUE(session.Begin(edited, &error) && session.Append(code, block.data(), &error) && session.Commit(&error))
        << error;
    devhost::MapChanges changes;
    ASSERT_TRUE(devhost::CompareMapFiles(original, edited, &changes, &error)) << error;
    EXPECT_EQ(changes.samplesChanged, 1);
    EXPECT_EQ(changes.blocksChanged, 1);
    EXPECT_EQ(changes.smallestChange, 0);
    EXPECT_EQ(changes.largestChange, 7);
    std::remove(original.c_str());
    std::remove(edited.c_str());
}

// A void given a height by the brush is no +34 km change of terrain: it is counted alone.
TEST(ChangeSummaryTest, CountsVoidsPaintedOverOnTheirOwn) {
    MapHeader header;
    header.width = header.height = 40;
    header.cellLat = header.cellLon = 1.0 / 1200;
    header.hasVoidValue = 1;
    header.voidValue = -32768;
    std::vector<int16_t> samples(40 * 40, 100);
    samples[3] = samples[4] = -32768;
    std::string original = ::testing::TempDir() + "summary_voids_original.map";
    std::string edited = ::testing::TempDir() + "summary_voids_edited.map";
    std::string error;
    ASSERT_TRUE(CreateMapFile(original, header, samples.data(), &error)) << error;
    samples[3] = 1500;  // painted over
    samples[10] += 7;
    ASSERT_TRUE(CreateMapFile(edited, header, samples.data(), &error)) << error;
    devhost::MapChanges changes;
    ASSERT_TRUE(devhost::CompareMapFiles(original, edited, &changes, &error)) << error;
    EXPECT_EQ(1, changes.voidsPaintedOver);
    EXPECT_EQ(1, changes.samplesChanged);
    EXPECT_EQ(7, changes.largestChange);
    std::remove(original.c_str());
    std::remove(edited.c_str());
}

// The cell a pixel shows, at every zoom, with the view centred on a whole cell as `centre
// 200 170` leaves it (zoomed in to 1, pixel centres then fall on cells' edges) and off one.
// Zoomed in, the first and last pixel of each cell name it and the pixels beyond them the
// next cells; zoomed out, a pixel names the cell under its centre, and the pixel a script
// points at for any cell of the pixel's area is that pixel. A place handed to a plug-in,
// turned into a cell the way HPI_PosToMesh does, names the status bar's cell.
TEST(ViewCellTest, PixelsAndCellsAgreeAtEveryZoom) {
    MapHeader header;
    header.originLat = 36.73291666666667;
    header.originLon = -84.41375;
    header.cellLat = header.cellLon = 1.0 / 1200;
    const int kHalf = 320;
    for (int zoom = -8; zoom <= 4; ++zoom) {
        if (zoom == 0 || zoom == -1) continue;
        for (double centre : {200.0, 200.3}) {
            SCOPED_TRACE("zoom " + std::to_string(zoom) + ", centre " + std::to_string(centre));
            ReliefView view;
            view.width = view.height = 2 * kHalf;
            view.zoom = zoom;
            double scale = zoom > 0 ? 1.0 / zoom : -zoom;
            view.originColumn = view.originRow = centre - (kHalf + 0.5) * scale;  // as the view centres itself
            for (int k = -3; k <= 3; ++k) {
                int64_t cell = 0, other = 0;
                int x = 0, y = 0;
                if (zoom > 0) {
                    int64_t expected = 200 + k;
                    int first = static_cast<int>(std::ceil(kHalf + (expected - centre) * zoom));
                    int last = static_cast<int>(std::ceil(kHalf + (expected + 1 - centre) * zoom)) - 1;
                    const struct { int pixel; int64_t cell; } kPixels[] = {
                        {first, expected}, {last, expected}, {first - 1, expected - 1}, {last + 1, expected + 1}};
                    for (const auto& p : kPixels) {
                        PixelToCell(view, p.pixel, p.pixel, &cell, &other);
                        EXPECT_EQ(p.cell, cell) << "pixel " << p.pixel;
                        EXPECT_EQ(p.cell, other) << "pixel " << p.pixel;
                        double column = 0, row = 0;
                        PixelToMesh(view, p.pixel, p.pixel, &column, &row);
                        GeoPointToMesh(header, MeshToGeoPoint(header, column, row), &column, &row);
                        EXPECT_EQ(p.cell, devhost::MeshCellOf(column)) << "pixel " << p.pixel << " through its place";
                    }
                    CellToPixel(view, expected, expected, &x, &y);
                    EXPECT_GE(x, first);
                    EXPECT_LE(x, last);
                    EXPECT_EQ(x, y);
                    continue;
                }
                int n = -zoom, pixel = kHalf + k;
                PixelToCell(view, pixel, pixel, &cell, &other);
                EXPECT_EQ(static_cast<int64_t>(std::floor(centre + k * n)), cell) << "pixel " << pixel;
                // The cells whose centres lie in the pixel's area.
                double west = centre + (k - 0.5) * n;
                for (int64_t c : {static_cast<int64_t>(std::ceil(west - 0.5)), static_cast<int64_t>(std::ceil(west + n - 0.5)) - 1}) {
                    CellToPixel(view, c, c, &x, &y);
                    EXPECT_EQ(pixel, x) << "cell " << c;
                }
            }
        }
    }
}

}  // namespace
