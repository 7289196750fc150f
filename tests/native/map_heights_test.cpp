// The import never writes a wrong height silently: a height equal to the void value moves
// off it (and the import and info count the same voids), the band's scale, offset and unit
// are applied, fills reach as far as they are told and keep the rest as voids, and what the
// map cannot keep of the raster's description is said.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "maptools/gdal_import.h"
#include "maptools/map_commands.h"
#include "tests/native/raster_fixture.h"

namespace {

using namespace maptest;

std::string Info(const std::string& map) {
    std::string text, error;
    EXPECT_TRUE(DescribeMap(map, &text, &error)) << error;
    return text;
}

TEST(MapHeightsTest, AHeightEqualToTheVoidValueMovesOffItAndIsCounted) {
    struct Row {
        const char* name;
        GDALDataType type;
        double noData;  // NaN: none
        int16_t voidValue;
        std::vector<double> values;     // the first cell is the band's void
        std::vector<int16_t> expected;  // as stored
        int moved;
    };
    const Row rows[] = {
        {"int16 beside a nodata value", GDT_Int16, 305, 348, {305, 348, 347, 349}, {348, 347, 347, 349}, 1},
        {"float: the nearer side", GDT_Float32, kNaN, 1000, {kNaN, 1000.3, 999.6, 1000}, {1000, 1001, 999, 999}, 3},
        {"clamped onto the void value", GDT_Float32, kNaN, -32768, {kNaN, -40000, -32768, 5}, {-32768, -32767, -32767, 5}, 2},
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
        std::string source = TempPath("collide.tif"), map = TempPath("collide.map"), error;
        WriteRaster(raster, source);
        ImportOptions options;
        options.setVoids = true;
        options.voidValue = row.voidValue;
        ImportReport report;
        ASSERT_TRUE(ImportRaster(source, map, options, &report, &error)) << error;
        MapHeader header;
        EXPECT_EQ(row.expected, ReadGrid(map, &header));
        EXPECT_EQ(row.moved, report.moved);
        EXPECT_EQ(1, report.voids);
        // The import's count and info's agree, and neither range holds the void value.
        EXPECT_NE(std::string::npos, Info(map).find("voids: 1\n")) << Info(map);
        EXPECT_NE(row.voidValue, report.minimum);
        EXPECT_NE(row.voidValue, report.maximum);
        if (row.moved > 0) {
            EXPECT_NE(std::string::npos, DescribeImport(report).find("moved 1 m off it: " + std::to_string(row.moved)))
                << DescribeImport(report);
        }
    }
}

TEST(MapHeightsTest, ScaleOffsetAndFeetBecomeMetres) {
    struct Row {
        const char* name;
        double scale, offset;
        const char* unit;
        bool fill;
        int16_t expected;   // of the raw value 236
        const char* note;   // in the import's report, or in the refusal
    };
    const Row rows[] = {
        {"scale and offset", 0.5, 100, "m", false, 218, "scale 0.5 and offset 100 applied"},
        {"feet", 1, 0, "ft", false, 72, "heights in ft converted to metres"},
        {"US survey feet", 1, 0, "US survey foot", false, 72, "heights in US survey foot"},
        {"scaled feet", 10, 0, "foot", false, 719, "scale 10 and offset 0"},
        {"scale through the fill", 0.5, 100, "", true, 218, "scale 0.5"},
        {"unknown unit", 1, 0, "furlong", false, 0, "\"furlong\", a unit this tool does not know"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestRaster raster = GeographicRaster(20, 10, 46.0, 7.0);
        raster.hasNoData = true;
        raster.noData = -32768;
        raster.values.assign(raster.values.size(), 236);
        raster.values[55] = -32768;  // a void the fill mends from its neighbours
        std::string source = TempPath("scaled.tif"), map = TempPath("scaled.map"), error;
        WriteRaster(raster, source);
        {
            GDALDatasetUniquePtr ds(GDALDataset::Open(source.c_str(), GDAL_OF_RASTER | GDAL_OF_UPDATE));
            ASSERT_TRUE(ds);
            ds->GetRasterBand(1)->SetScale(row.scale);
            ds->GetRasterBand(1)->SetOffset(row.offset);
            ds->GetRasterBand(1)->SetUnitType(row.unit);
        }
        ImportOptions options;
        options.fillVoids = row.fill;
        options.setVoids = !row.fill;
        options.voidValue = -32768;
        ImportReport report;
        bool ok = ImportRaster(source, map, options, &report, &error);
        EXPECT_EQ(row.expected != 0, ok) << error;
        if (!ok) {
            EXPECT_NE(std::string::npos, error.find(row.note)) << error;
            continue;
        }
        MapHeader header;
        std::vector<int16_t> grid = ReadGrid(map, &header);
        EXPECT_EQ(row.expected, grid[0]);
        EXPECT_EQ(row.fill ? row.expected : -32768, grid[55]);
        EXPECT_EQ(row.expected, report.maximum);
        EXPECT_NE(std::string::npos, DescribeImport(report).find(row.note)) << DescribeImport(report);
    }
}

// A hole too far from data for the fill: refused with the row it starts in, filled when
// the distance allows, or kept as voids beside the filled ones.
TEST(MapHeightsTest, FillsReachWhatTheyCanAndKeepTheRestAsVoids) {
    struct Row {
        const char* name;
        double maxDistance;
        bool setVoids;
        bool ok;
        int64_t filled, set;
    };
    // 3 scattered voids and a hole of 300 full rows, 150 cells from data at most.
    const int64_t kHole = 300 * 300;
    const Row rows[] = {
        {"refused", 100, false, false, 0, 0},
        {"further", 200, false, true, kHole + 3, 0},
        {"kept as voids", 100, true, true, -1, -1},
        {"short reach", 2, true, true, -1, -1},
    };
    TestRaster raster = GeographicRaster(300, 700, 46.0, 7.0);
    raster.hasNoData = true;
    raster.noData = -9999;
    for (size_t i = 0; i < raster.values.size(); ++i) {
        if (i / 300 >= 200 && i / 300 < 500) raster.values[i] = -9999;
    }
    for (size_t i : {size_t(5), size_t(4000), size_t(205000)}) raster.values[i] = -9999;
    std::string source = TempPath("far-hole.tif");
    WriteRaster(raster, source);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ImportOptions options;
        options.fillVoids = true;
        options.maxDistance = row.maxDistance;
        options.setVoids = row.setVoids;
        options.voidValue = -32768;
        ImportReport report;
        std::string map = TempPath("far-hole.map"), error;
        std::filesystem::remove(map);
        bool ok = ImportRaster(source, map, options, &report, &error);
        EXPECT_EQ(row.ok, ok) << error;
        EXPECT_EQ(ok, std::filesystem::exists(map));
        if (!ok) {
            EXPECT_NE(std::string::npos, error.find("more than 100 cells from valid data")) << error;
            size_t at = error.find("the first in row ");
            ASSERT_NE(std::string::npos, at) << error;
            EXPECT_NEAR(300, std::stoi(error.substr(at + 17)), 2) << error;
            continue;
        }
        EXPECT_EQ(kHole + 3, report.voids);
        EXPECT_EQ(report.voids, report.voidsFilled + report.voidsSet);
        if (row.filled >= 0) {
            EXPECT_EQ(row.filled, report.voidsFilled);
        }
        if (row.setVoids) {
            EXPECT_GT(report.voidsSet, 0);
            EXPECT_GT(report.voidsFilled, 3);
            EXPECT_NE(std::string::npos, Info(map).find("voids: " + std::to_string(report.voidsSet) + "\n"));
        }
    }
}

// What the raster says of itself that the map keeps or says it drops: a nodata value that
// marks no cell, a vertical coordinate system, a 3D WGS 84.
TEST(MapHeightsTest, TheRastersDescriptionIsKeptOrSaidToBeDropped) {
    struct Row {
        const char* name;
        GDALDataType type;
        double noData;  // NaN: none
        const char* srs;
        const char* note;      // in the report, or the refusal
        bool ok;
        int voidValue;         // the map's, or 1 for none
    };
    const Row rows[] = {
        {"nodata without voids", GDT_Int16, -9999, "EPSG:4326", "void value: -9999", true, -9999},
        {"float nodata", GDT_Float32, -3.4e38, "EPSG:4326", "the nodata value -3.39999995", true, 1},
        {"compound", GDT_Int16, kNaN, "EPSG:4326+5773", "vertical coordinate system EGM96 height is not kept", true, 1},
        {"3D WGS 84", GDT_Int16, kNaN, "EPSG:4979", "", true, 1},
        {"NAD27", GDT_Int16, kNaN, "EPSG:4267", "is in NAD27 (EPSG:4267), not WGS 84 (EPSG:4326)", false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InitializeGdal();
        GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
        std::string source = TempPath("described.tif"), map = TempPath("described.map"), error;
        GDALDatasetUniquePtr ds(gtiff->Create(source.c_str(), 8, 4, 1, row.type, nullptr));
        double gt[6] = {7.0, kArcSecond, 0, 46.0, 0, -kArcSecond};
        ds->SetGeoTransform(gt);
        OGRSpatialReference srs;
        ASSERT_EQ(OGRERR_NONE, srs.SetFromUserInput(row.srs));
        srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        ASSERT_EQ(CE_None, ds->SetSpatialRef(&srs));
        if (row.noData == row.noData) ds->GetRasterBand(1)->SetNoDataValue(row.noData);
        ASSERT_EQ(CE_None, ds->GetRasterBand(1)->Fill(12));
        ds.reset();
        ImportReport report;
        bool ok = ImportRaster(source, map, ImportOptions(), &report, &error);
        ASSERT_EQ(row.ok, ok) << error;
        std::string text = ok ? DescribeImport(report) : error;
        EXPECT_NE(std::string::npos, text.find(row.note)) << text;
        if (!ok) continue;
        EXPECT_EQ(row.voidValue != 1, report.header.hasVoidValue != 0);
        if (row.voidValue != 1) {
            EXPECT_NE(std::string::npos, Info(map).find("void value: -9999")) << Info(map);
        }
    }
}

}  // namespace
