// The commands the import prints when it refuses a raster work: each is run here as
// printed (through GDAL's own utility functions, with the output put in the test's
// folder), and what it writes is imported.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <cpl_string.h>
#include <gdal_utils.h>

#include "maptools/gdal_import.h"
#include "tests/native/raster_fixture.h"

namespace {

using namespace maptest;

// The printed commands of a refusal: every gdal_translate or gdalwarp, up to the end of
// its line or the bracket after it.
std::vector<std::string> PrintedCommands(const std::string& text) {
    std::vector<std::string> commands;
    for (const char* program : {"gdal_translate ", "gdalwarp "}) {
        for (size_t at = text.find(program); at != std::string::npos; at = text.find(program, at + 1)) {
            size_t end = std::min(text.find('\n', at), text.find(" (", at));
            commands.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        }
    }
    return commands;
}

// Runs a printed command, its output file (the last word) put in the test's folder; the
// path written.
std::string RunPrinted(const std::string& command) {
    std::istringstream words(command);
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    std::string out = TempPath("advice-" + args.back()), source = args[args.size() - 2];
    CPLStringList options;
    for (size_t i = 1; i + 2 < args.size(); ++i) options.AddString(args[i].c_str());
    GDALDatasetH input = GDALOpen(source.c_str(), GA_ReadOnly);
    EXPECT_NE(nullptr, input) << source;
    GDALDatasetH written = nullptr;
    if (args[0] == "gdalwarp") {
        GDALWarpAppOptions* warp = GDALWarpAppOptionsNew(options.List(), nullptr);
        VSIUnlink(out.c_str());
        written = GDALWarp(out.c_str(), nullptr, 1, &input, warp, nullptr);
        GDALWarpAppOptionsFree(warp);
    } else {
        GDALTranslateOptions* translate = GDALTranslateOptionsNew(options.List(), nullptr);
        written = GDALTranslate(out.c_str(), input, translate, nullptr);
        GDALTranslateOptionsFree(translate);
    }
    EXPECT_NE(nullptr, written) << command << ": " << CPLGetLastErrorMsg();
    GDALClose(written);
    GDALClose(input);
    return out;
}

TEST(MapAdviceTest, ThePrintedCommandsMakeRastersThatImport) {
    struct Row {
        const char* name;
        double transform[6];
        bool hasNoData;
        size_t commands;
        int firstColumns;  // columns of the source in the first part (an antimeridian split); -1: no CRS
    };
    const Row rows[] = {
        {"west of -180", {-180.01, 0.001, 0, 36.0, 0, -0.001}, false, 2, 10},
        // Adding up 120 of these cells from -180.1 misses -180 by 9e-14.
        {"west of -180, inexact", {-180.1, 0.335833333333 / 403, 0, 36.5, 0, -0.335833333333 / 403}, false, 2, 120},
        {"east of 180", {179.99, 0.001, 0, 36.0, 0, -0.001}, true, 2, 10},
        {"rotated", {-84.0, kArcSecond, kArcSecond / 10, 36.0, kArcSecond / 10, -kArcSecond}, false, 1, 0},
        {"rotated with nodata", {-84.0, kArcSecond, kArcSecond / 10, 36.0, kArcSecond / 10, -kArcSecond}, true, 1, 0},
        {"projected", {200000, 30, 0, 4000000, 0, -30}, false, 1, 0},
        {"no coordinate system", {-84.0, kArcSecond, 0, 36.0, 0, -kArcSecond}, false, 1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int kWidth = 403;
        TestRaster raster = GeographicRaster(kWidth, 30, 0, 0);
        std::copy(row.transform, row.transform + 6, raster.transform);
        raster.epsg = row.firstColumns < 0 ? 0 : row.transform[0] > 1000 ? 32617 : 4326;
        raster.hasNoData = row.hasNoData;
        raster.noData = -32768;
        std::string source = TempPath("advice-source.tif"), error;
        WriteRaster(raster, source);
        ImportReport report;
        ASSERT_FALSE(ImportRaster(source, TempPath("advice.map"), ImportOptions(), &report, &error));
        std::vector<std::string> commands = PrintedCommands(error);
        ASSERT_EQ(row.commands, commands.size()) << error;
        if (row.firstColumns < 0) {
            ASSERT_TRUE(ImportRaster(RunPrinted(commands[0]), TempPath("advice.map"), ImportOptions(), &report, &error))
                << error;
            continue;
        }
        if (row.firstColumns > 0) {
            // Both parts import, side by side, with the source's samples.
            for (size_t part = 0; part < 2; ++part) {
                std::string map = TempPath("advice-part.map");
                ASSERT_TRUE(ImportRaster(RunPrinted(commands[part]), map, ImportOptions(), &report, &error)) << error;
                MapHeader header;
                std::vector<int16_t> grid = ReadGrid(map, &header);
                int first = part == 0 ? 0 : row.firstColumns;
                EXPECT_EQ(part == 0 ? row.firstColumns : kWidth - row.firstColumns, header.width);
                EXPECT_EQ(raster.values[first], grid[0]);
                EXPECT_EQ(raster.values[kWidth + first + 1], grid[header.width + 1]);
                EXPECT_NEAR(part == 1 ? -180.0 : row.transform[0] < 0 ? row.transform[0] + 360 : row.transform[0], header.originLon, 1e-9);
            }
            continue;
        }
        // The warp's empty corners are voids, never heights: refused as such, taken with
        // --crop, and the same map as --reproject --crop makes.
        std::string warped = RunPrinted(commands[0]);
        EXPECT_FALSE(ImportRaster(warped, TempPath("advice-warped.map"), ImportOptions(), &report, &error));
        EXPECT_NE(std::string::npos, error.find("cells are voids")) << error;
        ImportOptions crop;
        crop.crop = true;
        ASSERT_TRUE(ImportRaster(warped, TempPath("advice-warped.map"), crop, &report, &error)) << error;
        EXPECT_EQ(0, report.voids);
        crop.reproject = true;
        ASSERT_TRUE(ImportRaster(source, TempPath("advice-reprojected.map"), crop, &report, &error)) << error;
        ExpectSameMap(TempPath("advice-warped.map"), TempPath("advice-reprojected.map"));
    }
}

}  // namespace
