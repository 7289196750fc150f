// Every format the map tool writes, exported from a map with voids and imported again:
// the voids come back as voids and every other height as it was. Formats that cannot do
// that, and drivers not checked here, are refused unless loss is accepted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "maptools/gdal_export.h"
#include "maptools/gdal_import.h"
#include "tests/native/raster_fixture.h"

namespace {

using namespace maptest;

const int16_t kVoid = -32768;

// A map of type 10 with the MAT flag and 4 voids, whose heights span negatives, values
// above 255 and both ends of int16 (but USGS DEM's own void marker, -32767). SRTM tiles
// have their own size: 1201 x 1201 cells of 3 arc-seconds.
std::string MapWithVoids(int side, std::vector<int16_t>* samples) {
    std::string path = TempPath("formats-" + std::to_string(side) + ".map"), error;
    MapHeader h;
    h.width = h.height = side;
    h.cellLat = h.cellLon = 3 * kArcSecond;
    h.originLat = 47.0 + 1.5 * kArcSecond;
    h.originLon = 7.0 - 1.5 * kArcSecond;
    h.mapType = 10;
    h.mat = h.hasVoidValue = 1;
    h.voidValue = kVoid;
    samples->resize(size_t(side) * side);
    for (size_t i = 0; i < samples->size(); ++i) (*samples)[i] = int16_t(int(i * 37 % 3001) - 500);
    for (size_t i : {size_t(3), size_t(41), size_t(42), samples->size() - 1}) (*samples)[i] = kVoid;
    (*samples)[7] = 32767;
    (*samples)[8] = -32766;
    EXPECT_TRUE(CreateMapFile(path, h, samples->data(), &error)) << error;
    return path;
}

TEST(MapExportFormatsTest, EveryFormatWrittenGivesBackItsVoidsAndHeights) {
    const struct {
        const char* driver;
        const char* file;  // an SRTM tile is named after its place
    } rows[] = {
        {"GTiff", "f.tif"},   {"COG", "f-cog.tif"},  {"HFA", "f.img"},       {"ENVI", "f.envi"},  {"EHdr", "f.bil"},
        {"AAIGrid", "f.asc"}, {"SAGA", "f.sdat"},    {"SRTMHGT", "N46E007.hgt"}, {"BT", "f.bt"},   {"netCDF", "f.nc"},
        {"PCIDSK", "f.pix"},  {"RRASTER", "f.grd"},  {"GPKG", "f.gpkg"},     {"GSAG", "f-gsag.grd"}, {"GSBG", "f-gsbg.grd"},
        {"GS7BG", "f-gs7bg.grd"}, {"JP2OpenJPEG", "f.jp2"}, {"USGSDEM", "f.dem"}, {"XYZ", "f.xyz"},
    };
    std::vector<std::string> listed;
    for (const auto& row : rows) listed.push_back(row.driver);
    EXPECT_EQ(ExportFormatNames(), listed) << "every format the tool writes has its row here";
    std::vector<int16_t> small, tile;
    const std::string smallMap = MapWithVoids(61, &small), tileMap = MapWithVoids(1201, &tile);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.driver);
        const ExportFormat* format = FindExportFormat(row.driver);
        ASSERT_NE(nullptr, format);
        bool srtm = std::string(row.driver) == "SRTMHGT";
        std::string exported = TempPath(row.file), error;
        std::vector<std::string> written, warnings;
        ExportOptions options;
        options.format = row.driver;
        bool ok = ExportMap(srtm ? tileMap : smallMap, exported, options, &written, &warnings, &error);
        ASSERT_EQ(format->keepsVoids, ok) << error;
        if (!ok) {
            // Refused, naming a format that keeps voids; written when the loss is accepted.
            EXPECT_NE(std::string::npos, error.find("such as GTiff")) << error;
            EXPECT_NE(std::string::npos, error.find("--accept-loss")) << error;
            options.acceptLoss = true;
            EXPECT_TRUE(ExportMap(smallMap, exported, options, &written, &warnings, &error)) << error;
            continue;
        }
        ImportOptions import;  // formats that keep no void value need it told
        import.setVoids = !format->keepsVoidValue;
        import.voidValue = kVoid;
        ImportReport report;
        std::string again = TempPath(std::string("formats-") + row.driver + ".map");
        ASSERT_TRUE(ImportRaster(exported, again, import, &report, &error)) << error;
        MapHeader header;
        EXPECT_TRUE(ReadGrid(again, &header) == (srtm ? tile : small)) << "the heights or voids changed";
        EXPECT_EQ(4, report.voids);
        EXPECT_EQ(0, report.moved);
        EXPECT_EQ(kVoid, header.voidValue);
        EXPECT_NEAR(7.0 - 1.5 * kArcSecond, header.originLon, 1e-9);
        EXPECT_NEAR(3 * kArcSecond, header.cellLat, 1e-10);
        EXPECT_TRUE(!format->keepsVoidValue || header.mapType == 10u) << "the map type comes back with the void value";
    }
    // Drivers not checked here (unless loss is accepted), and drivers that write no file.
    const struct {
        const char* driver;
        bool acceptLoss;
        const char* error;  // nullptr: written
    } refusals[] = {
        {"ERS", false, "not among the formats this tool has checked"}, {"ERS", true, nullptr},
        {"MEM", false, "not among the formats"}, {"MEM", true, "MEM wrote no file"},
    };
    for (const auto& row : refusals) {
        SCOPED_TRACE(std::string(row.driver) + (row.acceptLoss ? " --accept-loss" : ""));
        ExportOptions options;
        options.format = row.driver;
        options.acceptLoss = row.acceptLoss;
        std::vector<std::string> written, warnings;
        std::string error;
        bool ok = ExportMap(smallMap, TempPath("unchecked.out"), options, &written, &warnings, &error);
        EXPECT_EQ(row.error == nullptr, ok) << error;
        EXPECT_EQ(ok, !written.empty());
        EXPECT_NE(std::string::npos, error.find(ok ? "" : row.error)) << error;
    }
}

}  // namespace
