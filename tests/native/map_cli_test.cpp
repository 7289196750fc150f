// The map tool's command line and the choices it makes from it: help, version and usage
// errors, the export format from the output's name, creation options, and info's report.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "maptools/command_line.h"
#include "maptools/gdal_export.h"
#include "maptools/gdal_import.h"
#include "maptools/map_commands.h"
#include "maptools/map_recover.h"
#include "tests/native/raster_fixture.h"

namespace {

using namespace maptest;

ParseOutcome Parse(std::vector<const char*> args, ToolOptions* options, std::string* text) {
    args.insert(args.begin(), "zolva-make-map");
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), options, text);
}

TEST(MapToolCommandLineTest, HelpVersionAndUsageErrors) {
    struct Row {
        std::vector<const char*> args;
        ParseOutcome outcome;
        const char* text;  // found in what is printed
    };
    const Row rows[] = {
        {{"--help"}, ParseOutcome::kPrinted, "usage: zolva-make-map <command>"},
        {{"-h"}, ParseOutcome::kPrinted, "zolva-make-map synthetic <width>"},
        {{"--version"}, ParseOutcome::kPrinted, "zolva-make-map 1."},
        {{"import", "--help"}, ParseOutcome::kPrinted, "usage: zolva-make-map import <src>"},
        {{"export", "a.map", "-h"}, ParseOutcome::kPrinted, "-co NAME=VALUE"},
        {{"synthetic", "--help"}, ParseOutcome::kPrinted, "<width> <height>"},
        {{}, ParseOutcome::kUsageError, "usage:"},
        {{"--frobnicate"}, ParseOutcome::kUsageError, "unknown option --frobnicate"},
        {{"paint", "a.map"}, ParseOutcome::kUsageError, "unknown command paint"},
        {{"import", "a.tif", "a.map", "--frob"}, ParseOutcome::kUsageError, "unknown option --frob"},
        {{"export", "a.map", "a.tif", "--void-value", "3"}, ParseOutcome::kUsageError, "--void-value does not apply to export"},
        {{"import", "a.tif", "a.map", "--void-value"}, ParseOutcome::kUsageError, "--void-value needs a value"},
        {{"import", "a.tif", "a.map", "--void-value", "40000"}, ParseOutcome::kUsageError, "-32768..32767"},
        {{"import", "a.tif", "a.map", "--resampling", "lanczos"}, ParseOutcome::kUsageError, "nearest, bilinear or cubic"},
        {{"export", "a.map", "a.tif", "-co", "TILED"}, ParseOutcome::kUsageError, "-co needs NAME=VALUE"},
        {{"import", "a.tif", "a.map", "--max-distance", "5"}, ParseOutcome::kUsageError, "--max-distance needs --fill-voids"},
        {{"import", "a.tif", "a.map", "--fill-voids", "--max-distance", "0"}, ParseOutcome::kUsageError, "above 0"},
        {{"import", "a.tif", "a.map", "--cell-size", "0.01"}, ParseOutcome::kUsageError, "--cell-size needs --reproject"},
        {{"import", "a.tif", "a.map", "--resampling", "cubic"}, ParseOutcome::kUsageError, "--resampling needs --reproject"},
        {{"info"}, ParseOutcome::kUsageError, "wrong number of arguments"},
        {{"export", "a.map", "b.tif", "--no-lock"}, ParseOutcome::kUsageError, "--no-lock does not apply to export"},
        {{"compact", "--help"}, ParseOutcome::kPrinted, "--no-lock"},
        {{"compact", "a.map", "--take-uncommitted"}, ParseOutcome::kUsageError, "--take-uncommitted does not apply to compact"},
        {{"recover", "a.map", "b.map", "--use-older-copies"}, ParseOutcome::kUsageError, "does not apply to recover"},
        {{"recover", "a.map", "b.map", "--void-value", "0", "--no-void-value"}, ParseOutcome::kUsageError, "contradict"},
    };
    for (const Row& row : rows) {
        std::string joined;
        for (const char* a : row.args) joined += std::string(a) + " ";
        SCOPED_TRACE(joined);
        ToolOptions options;
        std::string text;
        EXPECT_EQ(row.outcome, Parse(row.args, &options, &text));
        EXPECT_NE(std::string::npos, text.find(row.text)) << text;
    }
    ToolOptions options;
    std::string text;
    ASSERT_EQ(ParseOutcome::kRun, Parse({"export", "a.map", "b.tif", "-co", "COMPRESS=LZW", "-q", "--format", "GTiff"},
                                        &options, &text)) << text;
    EXPECT_EQ(std::vector<std::string>{"COMPRESS=LZW"}, options.exporting.creationOptions);
    EXPECT_EQ("GTiff", options.exporting.format);
    EXPECT_TRUE(options.quiet);
    ASSERT_EQ(ParseOutcome::kRun, Parse({"recover", "a.map", "b.map", "--take-uncommitted", "--void-value", "-9999"},
                                        &options, &text)) << text;
    EXPECT_TRUE(options.takeUncommitted && options.import.setVoids && options.import.voidValue == -9999);
    ASSERT_EQ(ParseOutcome::kRun, Parse({"compact", "a.map", "--use-older-copies"}, &options, &text)) << text;
    EXPECT_TRUE(options.useOlderCopies);
}

TEST(MapToolCommandLineTest, TheExportFormatFollowsTheExtension) {
    struct Row {
        const char* out;
        const char* named;
        const char* format;  // nullptr: refused
        const char* text;    // in the refusal
    };
    const Row rows[] = {
        {"a.tif", "", "GTiff", ""},      {"dir.v2/A.TIF", "", "GTiff", ""}, {"a.asc", "", "AAIGrid", ""},
        {"N36W085.hgt", "", "SRTMHGT", ""}, {"a.img", "", "HFA", ""},     {"a.bt", "", "BT", ""},
        {"a.raw", "", kRawFormat, ""},   {"a.asc", "GTiff", "GTiff", ""},
        {"a", "", nullptr, "no extension"}, {"dir.v2/a", "", nullptr, "no extension"},
        {"a.docx", "", nullptr, "no GDAL driver writes .docx"},
        {"a.grd", "", nullptr, "written by several GDAL drivers (GSAG, GSBG, GS7BG"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.out);
        std::string format, error;
        EXPECT_EQ(row.format != nullptr, ChooseExportFormat(row.out, row.named, &format, &error)) << error;
        if (row.format != nullptr) {
            EXPECT_EQ(row.format, format);
        } else {
            EXPECT_NE(std::string::npos, error.find(row.text)) << error;
        }
    }
}

// The ASCII grid is chosen by its name, creation options reach the driver, a map without
// a void value exports no nodata value, and drivers that cannot hold int16 (PNG stores
// "Byte UInt16") are refused by the tool itself.
TEST(MapToolCommandLineTest, ExportsThroughTheChosenDriverWithItsOptions) {
    std::string map = TempPath("cli.map"), error;
    ASSERT_TRUE(SyntheticMap(50, 40, map, NewMapOptions(), &error)) << error;
    std::vector<std::string> written, warnings;
    ExportOptions options;
    ASSERT_TRUE(ExportMap(map, TempPath("cli.asc"), options, &written, &warnings, &error)) << error;
    EXPECT_EQ(0u, ReadText(TempPath("cli.asc")).find("ncols        50"));
    options.creationOptions = {"COMPRESS=LZW", "TILED=NO"};
    ASSERT_TRUE(ExportMap(map, TempPath("cli.tif"), options, &written, &warnings, &error)) << error;
    GDALDatasetUniquePtr ds(GDALDataset::Open(TempPath("cli.tif").c_str(), GDAL_OF_RASTER));
    ASSERT_TRUE(ds);
    EXPECT_STREQ("LZW", ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"));
    EXPECT_STREQ("m", ds->GetRasterBand(1)->GetUnitType());
    EXPECT_STREQ("5", ds->GetMetadataItem(kMapTypeItem));
    int hasNoData = 1;  // a map without a void value (as every older map) marks none
    ds->GetRasterBand(1)->GetNoDataValue(&hasNoData);
    EXPECT_FALSE(hasNoData);
    int blockWidth = 0, blockHeight = 0;
    ds->GetRasterBand(1)->GetBlockSize(&blockWidth, &blockHeight);
    EXPECT_EQ(50, blockWidth) << "TILED=NO gives strips";
    // A creation option the driver does not know is written without, and GDAL's warning said.
    options.creationOptions = {"COMPRESS=BOGUS"};
    ASSERT_TRUE(ExportMap(map, TempPath("cli-bogus.tif"), options, &written, &warnings, &error)) << error;
    ASSERT_FALSE(warnings.empty());
    EXPECT_NE(std::string::npos, warnings.front().find("BOGUS")) << warnings.front();
    options.format = "PNG";
    EXPECT_FALSE(ExportMap(map, TempPath("cli.png"), options, &written, &warnings, &error));
    EXPECT_NE(std::string::npos, error.find("PNG cannot store signed 16-bit samples")) << error;
}

TEST(MapInfoTest, ReadsLikeGdalinfo) {
    std::string map = TempPath("info-like.map"), text, error;
    MapHeader header;
    header.width = 4;
    header.height = 2;
    header.originLat = 60.0;
    header.originLon = 10.0;
    header.cellLat = header.cellLon = 1.0 / 3600;
    header.hasVoidValue = true;
    header.voidValue = -9999;
    const int16_t samples[] = {1, 2, 3, -9999, 5, 6, -9999, 10};
    ASSERT_TRUE(CreateMapFile(map, header, samples, &error)) << error;
    ASSERT_TRUE(DescribeMap(map, &text, &error)) << error;
    // 1 arc-second at 60 N on WGS 84: N cos(lat) dλ = 6394209 m x 0.5 x 4.8481e-6 = 15.500 m
    // east-west, M dφ = 6383453 m x 4.8481e-6 = 30.948 m north-south.
    for (const char* expected : {"origin (north-west corner): 10, 60", "1 x 1 arc-seconds", "15.500 x 30.948 m",
                                 "upper right (   10.001111111,   60.000000000)", "void value: -9999",
                                 "minimum 1, maximum 10, mean 4.500", "voids: 2"}) {
        EXPECT_NE(std::string::npos, text.find(expected)) << expected << "\n" << text;
    }
}

// Long work reports through GDAL-style progress callbacks, rising to 1.
TEST(MapToolProgressTest, EachCommandReportsItsProgressToTheEnd) {
    struct Seen {
        std::vector<double> values;
        static int Record(double done, const char*, void* data) {
            static_cast<Seen*>(data)->values.push_back(done);
            return 1;
        }
    };
    std::string map = TempPath("progress.map"), error;
    TestRaster raster = GeographicRaster(700, 400, 47.0, 7.0);
    raster.hasNoData = true;
    raster.noData = -32768;
    raster.values[390 * 700 + 5] = -32768;  // met after the first row of blocks
    WriteRaster(raster, TempPath("progress.tif"));
    std::vector<std::string> written, warnings;
    CompactReport compacted;
    ImportReport imported;
    const struct {
        const char* name;
        std::function<bool(Seen*)> run;
    } rows[] = {
        {"synthetic", [&](Seen* seen) { return SyntheticMap(700, 700, map, NewMapOptions(), &error, Seen::Record, seen); }},
        {"compact", [&](Seen* seen) { return CompactMap(map, map, false, &compacted, &error, Seen::Record, seen); }},
        {"recover", [&](Seen* seen) {
             RecoverOptions options;
             options.progress = Seen::Record;
             options.progressData = seen;
             RecoverReport report;
             fs::remove(TempPath("progress-recovered.map"));
             return RecoverMap(map, TempPath("progress-recovered.map"), options, &report, &error);
         }},
        {"export", [&](Seen* seen) {
             ExportOptions options;
             options.format = "COG";
             options.progress = Seen::Record;
             options.progressData = seen;
             return ExportMap(map, TempPath("progress-cog.tif"), options, &written, &warnings, &error);
         }},
        {"import --fill-voids", [&](Seen* seen) {
             ImportOptions options;
             options.fillVoids = true;
             options.fillMemoryBytes = 700 * (64 + 202) * 9 + 700 * 320 * 2;  // bands of 64 rows
             options.progress = Seen::Record;
             options.progressData = seen;
             return ImportRaster(TempPath("progress.tif"), map, options, &imported, &error);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Seen seen;
        ASSERT_TRUE(row.run(&seen)) << error;
        ASSERT_FALSE(seen.values.empty());
        EXPECT_EQ(1.0, seen.values.back());
        EXPECT_TRUE(std::is_sorted(seen.values.begin(), seen.values.end()));
    }
}

}  // namespace
