// A map remembers the value its voids were stored as: exports mark it as the band's
// nodata value, imports of those exports give the same map (map type and MAT flag
// included, read back from the export's metadata), info, compaction and recovery keep it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "maptools/gdal_export.h"
#include "maptools/gdal_import.h"
#include "maptools/map_commands.h"
#include "maptools/map_recover.h"
#include "tests/native/raster_fixture.h"

#include <gdal_utils.h>

#include "maptools/void_crop.h"

namespace {

using namespace maptest;

TEST(MapVoidsTest, TheVoidValueTravelsThroughExportImportInfoAndCompaction) {
    struct Row {
        const char* name;
        const char* driver;
        const char* exportFile;
        const char* exportFormat;
        const char* sourceFile;
        double noData;
        double cell;  // whole in ASCII text, so that the ASCII grid's georeference is exact
    };
    const Row rows[] = {
        {"int16-min", "GTiff", "voids-a.tif", "GTiff", "voids-a-source.tif", -32768, kArcSecond},
        {"minus-9999", "GTiff", "voids-b.tif", "GTiff", "voids-b-source.tif", -9999, kArcSecond},
        {"hgt", "SRTMHGT", "hgt-export.tif", "GTiff", "N46E007.hgt", -32768, 3 * kArcSecond},
        {"ascii", "GTiff", "voids-c.asc", "AAIGrid", "voids-c-source.tif", -9999, 0.25},
    };
    const size_t voidCells[] = {3, 41, 42, 1199};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool hgt = std::string(row.driver) == "SRTMHGT";
        // SRTM: 1201 x 1201 cells centred on whole 3 arc-second positions.
        TestRaster raster = hgt ? GeographicRaster(1201, 1201, 47.0 + 1.5 * kArcSecond, 7.0 - 1.5 * kArcSecond,
                                                   row.cell)
                                : GeographicRaster(40, 30, 47.0, 7.0, row.cell);
        raster.driver = row.driver;
        raster.hasNoData = true;
        raster.noData = row.noData;
        for (size_t cell : voidCells) raster.values[cell] = row.noData;
        std::string source = TempPath(row.sourceFile);
        WriteRaster(raster, source);
        ImportOptions options;
        options.setVoids = true;
        options.voidValue = static_cast<int16_t>(row.noData);
        options.mapType = 10;  // not the default, so that reading it back shows
        options.mat = true;
        ImportReport report;
        std::string error, map = TempPath(std::string(row.name) + ".map");
        ASSERT_TRUE(ImportRaster(source, map, options, &report, &error)) << error;

        std::vector<std::string> written, warnings;
        std::string exported = TempPath(row.exportFile);
        ASSERT_TRUE(ExportMap(map, exported, row.exportFormat, &written, &warnings, &error)) << error;
        GDALDatasetUniquePtr ds(GDALDataset::Open(exported.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
        ASSERT_TRUE(ds);
        int has = 0;
        EXPECT_EQ(row.noData, ds->GetRasterBand(1)->GetNoDataValue(&has));
        EXPECT_TRUE(has) << "the export marks no nodata value";
        ds.reset();

        // The export comes back as the same map, void value included, with no option.
        std::string again = TempPath(std::string(row.name) + "-again.map");
        ASSERT_TRUE(ImportRaster(exported, again, ImportOptions(), &report, &error)) << error;
        ExpectSameMap(map, again);
        std::string compacted = TempPath(std::string(row.name) + "-compacted.map");
        ASSERT_TRUE(CompactMap(again, compacted, &warnings, &error)) << error;
        std::string recovered = TempPath(std::string(row.name) + "-recovered.map");
        RecoverReport recovery;
        ASSERT_TRUE(RecoverMap(compacted, recovered, RecoverOptions(), &recovery, &error)) << error;
        for (const std::string& path : {again, compacted, recovered}) {
            MapFileReader reader;
            ASSERT_TRUE(reader.Open(path, &error)) << error;
            EXPECT_TRUE(reader.header().hasVoidValue) << path;
            EXPECT_EQ(row.noData, reader.header().voidValue) << path;
            EXPECT_EQ(10u, reader.header().mapType) << path;
            EXPECT_EQ(1u, reader.header().mat) << path;
            EXPECT_TRUE(reader.warnings().empty()) << path << ": " << reader.warnings().front();
        }
        std::string text;
        ASSERT_TRUE(DescribeMap(compacted, &text, &error)) << error;
        EXPECT_NE(std::string::npos, text.find("void value: " + std::to_string(int(row.noData)))) << text;
    }
}

// import --reproject gives the map that warping with gdalwarp's own options, then
// importing, gives; the refusal of the warp's voids names the source's nodata value.
TEST(MapReprojectTest, EqualsWarpingFirstAndNamesTheNoDataValue) {
    TestRaster raster = GeographicRaster(300, 300, 0, 0);
    const double utm[6] = {500000, 30, 0, 4000000, 0, -30};
    std::copy(utm, utm + 6, raster.transform);
    raster.epsg = 32617;
    raster.hasNoData = true;
    raster.noData = -32768;
    raster.values[100] = -32768;
    std::string source = TempPath("utm-voids.tif");
    WriteRaster(raster, source);
    std::string error;
    for (const char* method : {"nearest", "bilinear", "cubic"}) {
        SCOPED_TRACE(method);
        const char* args[] = {"-t_srs", "EPSG:4326", "-r", method, nullptr};
        GDALWarpAppOptions* options = GDALWarpAppOptionsNew(const_cast<char**>(args), nullptr);
        GDALDatasetH input = GDALOpen(source.c_str(), GA_ReadOnly);
        std::string warpedPath = TempPath(std::string("warped-") + method + ".tif");
        GDALClose(GDALWarp(warpedPath.c_str(), nullptr, 1, &input, options, nullptr));
        GDALClose(input);
        GDALWarpAppOptionsFree(options);
        ImportOptions import;
        import.setVoids = true;
        import.voidValue = -32768;
        ImportReport report;
        std::string warpedFirst = TempPath(std::string("warped-first-") + method + ".map");
        ASSERT_TRUE(ImportRaster(warpedPath, warpedFirst, import, &report, &error)) << error;
        import.reproject = true;
        import.resampling = method;
        std::string direct = TempPath(std::string("reprojected-") + method + ".map");
        ASSERT_TRUE(ImportRaster(source, direct, import, &report, &error)) << error;
        ExpectSameMap(warpedFirst, direct);
    }
    ImportOptions refused;
    refused.reproject = true;
    ImportReport report;
    EXPECT_FALSE(ImportRaster(source, TempPath("reprojected-refused.map"), refused, &report, &error));
    EXPECT_NE(std::string::npos, error.find("(nodata value -32768, including the cells warping leaves")) << error;
    EXPECT_NE(std::string::npos, error.find("--crop")) << error;
    // Cropped, the map holds no void and lies inside the source's footprint.
    refused.crop = true;
    ASSERT_TRUE(ImportRaster(source, TempPath("reprojected-cropped.map"), refused, &report, &error)) << error;
    EXPECT_EQ(0, report.voids);
    EXPECT_GT(report.cropWidth * report.cropHeight, 300 * 300 / 2);
}

// The largest rectangle without voids, from small rasters whose answers can be counted
// by hand ('#' a void).
TEST(VoidCropTest, FindsTheLargestRectangleWithoutVoids) {
    struct Row {
        const char* name;
        std::vector<const char*> cells;
        CellWindow expected;
    };
    const Row rows[] = {
        {"none", {"....", "...."}, {0, 0, 4, 2}},
        {"all", {"##", "##"}, {0, 0, 0, 0}},
        {"centre", {".....", ".....", "..#..", ".....", "....."}, {0, 0, 5, 2}},
        {"warped corners", {"##....#", "#......", ".......", "......#", "#...###"}, {2, 0, 4, 4}},
        {"column", {"#.##", "#.##", "#..#"}, {1, 0, 1, 3}},
    };
    InitializeGdal();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int width = int(std::string(row.cells[0]).size()), height = int(row.cells.size());
        GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
        GDALDatasetUniquePtr ds(mem->Create("", width, height, 1, GDT_Float32, nullptr));
        ds->GetRasterBand(1)->SetNoDataValue(-32768);
        for (int r = 0; r < height; ++r) {
            std::vector<float> values(width);
            for (int c = 0; c < width; ++c) values[c] = row.cells[r][c] == '#' ? (r % 2 ? -32768.0f : NAN) : 7.0f;
            ASSERT_EQ(CE_None, ds->GetRasterBand(1)->RasterIO(GF_Write, 0, r, width, 1, values.data(), width, 1,
                                                               GDT_Float32, 0, 0, nullptr));
        }
        CellWindow window;
        std::string error;
        ASSERT_TRUE(LargestWindowWithoutVoids(ds->GetRasterBand(1), &window, &error)) << error;
        EXPECT_EQ(row.expected.column, window.column);
        EXPECT_EQ(row.expected.row, window.row);
        EXPECT_EQ(row.expected.width, window.width);
        EXPECT_EQ(row.expected.height, window.height);
    }
}

// Filling in bands of rows gives what filling the whole raster gives, whatever crosses
// the bands' edges: holes spanning them, voids beside them, voids too far to fill.
TEST(MapFillTest, BandsOfRowsFillAsTheWholeRaster) {
    struct Row {
        const char* name;
        GDALDataType type;
        int holeRow, holeRows;  // a hole of all columns but the last ten, or of all when refused
        bool refused;           // a hole too tall to fill
    };
    const Row rows[] = {
        {"scattered", GDT_Int16, 0, 0, false},
        {"hole across a band edge", GDT_Int16, 600, 150, false},
        {"float hole", GDT_Float32, 300, 90, false},
        {"too far", GDT_Int16, 400, 260, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestRaster raster = GeographicRaster(64, 1400, 47.0, 7.0);
        raster.type = row.type;
        raster.hasNoData = true;
        raster.noData = -9999;
        for (size_t i = 0; i < raster.values.size(); ++i) {
            raster.values[i] = row.type == GDT_Float32 ? raster.values[i] + 0.25 : raster.values[i];
            if (i % 53 == 7) raster.values[i] = -9999;
            size_t r = i / 64, c = i % 64;
            if (r >= size_t(row.holeRow) && r < size_t(row.holeRow + row.holeRows) && c < (row.refused ? 64u : 54u)) {
                raster.values[i] = -9999;
            }
        }
        std::string source = TempPath(std::string(row.name) + "-fill.tif");
        WriteRaster(raster, source);
        ImportOptions options;
        options.fillVoids = true;
        std::string whole = TempPath(std::string(row.name) + "-whole.map"), banded = TempPath(std::string(row.name) + "-banded.map");
        ImportReport wholeReport, bandedReport;
        std::string wholeError, bandedError;
        options.fillMemoryBytes = 0;
        bool wholeOk = ImportRaster(source, whole, options, &wholeReport, &wholeError);
        // Bands of 150 rows, across rows of blocks: 64 columns x (150 + 2 x 101) rows x 9 bytes,
        // and a row of blocks being gathered (64 x 320 x 2 bytes).
        options.fillMemoryBytes = 64 * 352 * 9 + 64 * 320 * 2;
        bool bandedOk = ImportRaster(source, banded, options, &bandedReport, &bandedError);
        EXPECT_EQ(!row.refused, wholeOk) << wholeError;
        EXPECT_EQ(wholeOk, bandedOk) << bandedError;
        EXPECT_EQ(wholeError, bandedError);
        EXPECT_EQ(wholeReport.voids, bandedReport.voids);
        EXPECT_EQ(wholeReport.voidsFilled, bandedReport.voidsFilled);
        EXPECT_EQ(wholeReport.minimum, bandedReport.minimum);
        EXPECT_EQ(wholeReport.maximum, bandedReport.maximum);
        if (wholeOk && bandedOk) ExpectSameMap(whole, banded);
    }
}

}  // namespace
