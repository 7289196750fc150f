// The import never writes a wrong height silently: a height equal to the void value moves
// off it (the import and info count the same voids), the band's scale, offset and unit are
// applied, fills reach as far as told and keep the rest as voids, and what the map cannot
// keep of the raster's description is said.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "maptools/gdal_import.h"
#include "maptools/map_commands.h"
#include "tests/native/raster_fixture.h"

namespace {

using namespace maptest;

// Imports the raster (written first) into heights.map.
bool Import(const TestRaster& raster, const ImportOptions& options, ImportReport* report, std::string* error) {
    WriteRaster(raster, TempPath("heights.tif"));
    std::filesystem::remove(TempPath("heights.map"));
    return ImportRaster(TempPath("heights.tif"), TempPath("heights.map"), options, report, error);
}

std::string Info() {
    std::string text, error;
    EXPECT_TRUE(DescribeMap(TempPath("heights.map"), &text, &error)) << error;
    return text;
}

ImportOptions VoidsAs(int16_t value, bool fill = false) {
    ImportOptions options;
    options.setVoids = true;
    options.voidValue = value;
    options.fillVoids = fill;
    return options;
}

TEST(MapHeightsTest, AHeightEqualToTheVoidValueMovesOffItAndIsCounted) {
    struct Row {
        const char* name;
        GDALDataType type;
        double noData;  // NaN: none; the first cell is the band's void
        int16_t voidValue;
        std::vector<double> values;
        std::vector<int16_t> stored;
        int moved;
    };
    const Row rows[] = {
        {"int16 beside a nodata value", GDT_Int16, 305, 348, {305, 348, 347, 349}, {348, 347, 347, 349}, 1},
        {"float: the nearer side", GDT_Float32, kNaN, 1000, {kNaN, 1000.3, 999.6, 1000}, {1000, 1001, 999, 999}, 3},
        {"clamped onto it", GDT_Float32, kNaN, -32768, {kNaN, -40000, -32768, 5}, {-32768, -32767, -32767, 5}, 2},
        {"clamped to the top", GDT_Float32, kNaN, 32767, {kNaN, 40000, 32767, 5}, {32767, 32766, 32766, 5}, 2},
        {"the nodata value itself", GDT_Int16, -32768, -32768, {-32768, -32767, 0, 1}, {-32768, -32767, 0, 1}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestRaster raster = GeographicRaster(4, 1, 46.0, 7.0);
        raster.type = row.type;
        raster.hasNoData = row.noData == row.noData;
        raster.noData = row.noData;
        raster.values = row.values;
        ImportReport report;
        std::string error;
        ASSERT_TRUE(Import(raster, VoidsAs(row.voidValue), &report, &error)) << error;
        MapHeader header;
        EXPECT_EQ(row.stored, ReadGrid(TempPath("heights.map"), &header));
        EXPECT_EQ(row.moved, report.moved);
        EXPECT_EQ(1, report.voids);
        EXPECT_NE(std::string::npos, Info().find("voids: 1\n")) << Info();
        EXPECT_TRUE(report.minimum != row.voidValue && report.maximum != row.voidValue) << "voids stay out of the range";
    }
}

TEST(MapHeightsTest, ScaleOffsetAndFeetBecomeMetres) {
    struct Row {
        double scale, offset;
        const char* unit;
        bool fill;
        int16_t metres;    // of the raw value 236; 0: refused
        const char* note;  // in the import's report, or the refusal
    };
    const Row rows[] = {
        {0.5, 100, "m", false, 218, "scale 0.5 and offset 100 applied"},
        {1, 0, "ft", false, 72, "heights in ft converted to metres"},
        {1, 0, "US survey foot", false, 72, "heights in US survey foot"},
        {10, 0, "foot", false, 719, "scale 10 and offset 0"},
        {0.5, 100, "", true, 218, "scale 0.5"},  // the fill works in metres too
        {1, 0, "furlong", false, 0, "\"furlong\", a unit this tool does not know"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.note);
        TestRaster raster = GeographicRaster(20, 10, 46.0, 7.0);
        raster.hasNoData = true;
        raster.noData = -32768;
        raster.values.assign(raster.values.size(), 236);
        raster.values[55] = -32768;
        raster.scale = row.scale, raster.offset = row.offset, raster.unit = row.unit;
        ImportReport report;
        std::string error;
        bool ok = Import(raster, VoidsAs(-32768, row.fill), &report, &error);
        ASSERT_EQ(row.metres != 0, ok) << error;
        EXPECT_NE(std::string::npos, (ok ? DescribeImport(report) : error).find(row.note)) << error;
        if (!ok) continue;
        MapHeader header;
        std::vector<int16_t> grid = ReadGrid(TempPath("heights.map"), &header);
        EXPECT_EQ(row.metres, grid[0]);
        EXPECT_EQ(row.fill ? row.metres : -32768, grid[55]);
        EXPECT_EQ(row.metres, report.maximum);
    }
}

// A hole of 300 full rows (150 cells from data at most) and 3 scattered voids.
TEST(MapHeightsTest, FillsReachWhatTheyCanAndKeepTheRestAsVoids) {
    struct Row {
        double maxDistance;
        bool setVoids;
        int64_t filled;  // -1: refused; 0: some, the rest set
    };
    const int64_t kVoids = 300 * 300 + 3;
    const Row rows[] = {{100, false, -1}, {200, false, kVoids}, {100, true, 0}, {2, true, 0}};
    TestRaster raster = GeographicRaster(300, 700, 46.0, 7.0);
    raster.hasNoData = true;
    raster.noData = -9999;
    for (size_t i = 200 * 300; i < 500 * 300; ++i) raster.values[i] = -9999;
    for (size_t i : {size_t(5), size_t(4000), size_t(205000)}) raster.values[i] = -9999;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.maxDistance) + (row.setVoids ? " with a void value" : ""));
        ImportOptions options = VoidsAs(-32768, true);
        options.setVoids = row.setVoids;
        options.maxDistance = row.maxDistance;
        ImportReport report;
        std::string error;
        bool ok = Import(raster, options, &report, &error);
        ASSERT_EQ(row.filled >= 0, ok) << error;
        EXPECT_EQ(ok, std::filesystem::exists(TempPath("heights.map")));
        if (!ok) {
            size_t at = error.find("more than 100 cells from valid data and stay unfilled, the first in row ");
            ASSERT_NE(std::string::npos, at) << error;
            EXPECT_NEAR(300, std::stoi(error.substr(at + 72)), 2) << error;
            continue;
        }
        EXPECT_EQ(kVoids, report.voids);
        EXPECT_EQ(report.voids, report.voidsFilled + report.voidsSet);
        EXPECT_TRUE(row.filled > 0 ? report.voidsFilled == row.filled : report.voidsFilled > 3 && report.voidsSet > 0);
        EXPECT_EQ(row.setVoids, Info().find("voids: " + std::to_string(report.voidsSet) + "\n") != std::string::npos);
    }
}

// A nodata value that marks no cell, a vertical coordinate system, a 3D WGS 84, a datum
// named with its code.
TEST(MapHeightsTest, TheRastersDescriptionIsKeptOrSaidToBeDropped) {
    struct Row {
        GDALDataType type;
        double noData;  // NaN: none
        const char* srs;
        const char* said;  // in the report, or the refusal
        bool ok;
    };
    const Row rows[] = {
        {GDT_Int16, -9999, "EPSG:4326", "void value: -9999", true},
        {GDT_Float32, -9999, "EPSG:4326", "moved 1 m off it: 1", true},  // -9999.4 is a height
        {GDT_Float32, -3.4e38, "EPSG:4326", "the nodata value -3.39999995", true},
        {GDT_Int16, kNaN, "EPSG:4326+5773", "vertical coordinate system EGM96 height is not kept", true},
        {GDT_Int16, kNaN, "EPSG:4979", "size: 8 x 4", true},
        {GDT_Int16, kNaN, "EPSG:4267", "is in NAD27 (EPSG:4267), not WGS 84 (EPSG:4326)", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.said);
        TestRaster raster = GeographicRaster(8, 4, 46.0, 7.0);
        raster.type = row.type;
        raster.srs = row.srs;
        raster.hasNoData = row.noData == row.noData;
        raster.noData = row.noData;
        if (row.type == GDT_Float32) raster.values[5] = -9999.4;
        ImportReport report;
        std::string error;
        ASSERT_EQ(row.ok, Import(raster, ImportOptions(), &report, &error)) << error;
        EXPECT_NE(std::string::npos, (row.ok ? DescribeImport(report) : error).find(row.said));
        if (!row.ok) continue;
        EXPECT_EQ(row.noData == -9999, Info().find("void value: -9999") != std::string::npos) << Info();
    }
}

}  // namespace
