// Every format the map tool writes, exported from a map with voids and imported again:
// the voids come back as voids and every other height as it was. Formats that cannot do
// that are refused, naming one that can, unless loss is accepted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "maptools/gdal_export.h"
#include "maptools/gdal_import.h"
#include "tests/native/raster_fixture.h"

namespace {

using namespace maptest;

const int16_t kVoid = -32768;

// A map of type 10 with the MAT flag and voids, whose heights span negatives, values
// above 255 and both ends of int16 but for the void value (and -32767, USGS DEM's own
// void marker). SRTM tiles have their own size: 1201 x 1201 cells of 3 arc-seconds.
std::string MapWithVoids(bool srtm, std::vector<int16_t>* samples) {
    std::string path = TempPath(srtm ? "formats-srtm.map" : "formats.map"), error;
    MapHeader h;
    h.width = srtm ? 1201 : 61;
    h.height = srtm ? 1201 : 37;
    h.cellLat = h.cellLon = 3 * kArcSecond;
    h.originLat = 47.0 + 1.5 * kArcSecond;
    h.originLon = 7.0 - 1.5 * kArcSecond;
    h.mapType = 10;
    h.mat = 1;
    h.hasVoidValue = 1;
    h.voidValue = kVoid;
    samples->resize(size_t(h.width) * h.height);
    for (size_t i = 0; i < samples->size(); ++i) (*samples)[i] = int16_t(int(i * 37 % 3001) - 500);
    for (size_t i : {size_t(3), size_t(41), size_t(42), samples->size() - 1}) (*samples)[i] = kVoid;
    (*samples)[7] = 32767;
    (*samples)[8] = -32766;
    EXPECT_TRUE(CreateMapFile(path, h, samples->data(), &error)) << error;
    return path;
}

TEST(MapExportFormatsTest, EveryFormatWrittenGivesBackItsVoidsAndHeights) {
    struct Row {
        const char* driver;
        const char* file;
        bool srtm;  // the map must be an SRTM tile, the file named after it
    };
    const Row rows[] = {
        {"GTiff", "formats-GTiff.tif", false},   {"COG", "formats-COG.tif", false},     {"HFA", "formats-HFA.img", false},      {"ENVI", "formats-ENVI.envi", false},
        {"EHdr", "formats-EHdr.bil", false},    {"AAIGrid", "formats-AAIGrid.asc", false}, {"SAGA", "formats-SAGA.sdat", false},    {"SRTMHGT", "N46E007.hgt", true},
        {"BT", "formats-BT.bt", false},       {"netCDF", "formats-netCDF.nc", false},   {"PCIDSK", "formats-PCIDSK.pix", false},   {"RRASTER", "formats-RRASTER.grd", false},
        {"GPKG", "formats-GPKG.gpkg", false},   {"GSAG", "formats-GSAG.grd", false},    {"GSBG", "formats-GSBG.grd", false},     {"GS7BG", "formats-GS7BG.grd", false},
        {"JP2OpenJPEG", "formats-JP2OpenJPEG.jp2", false}, {"USGSDEM", "formats-USGSDEM.dem", false}, {"XYZ", "formats-XYZ.xyz", false},
    };
    std::vector<std::string> listed;
    for (const Row& row : rows) listed.push_back(row.driver);
    EXPECT_EQ(ExportFormatNames(), listed) << "every format the tool writes has its row here";

    std::vector<int16_t> small, tile;
    const std::string smallMap = MapWithVoids(false, &small), tileMap = MapWithVoids(true, &tile);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.driver);
        const ExportFormat* format = FindExportFormat(row.driver);
        ASSERT_NE(nullptr, format);
        const std::string& map = row.srtm ? tileMap : smallMap;
        const std::vector<int16_t>& samples = row.srtm ? tile : small;
        std::string exported = TempPath(row.file), error;
        std::vector<std::string> written, warnings;
        ExportOptions options;
        options.format = row.driver;
        bool ok = ExportMap(map, exported, options, &written, &warnings, &error);
        if (!format->keepsVoids) {
            // Refused, naming a format that keeps voids; written when the loss is accepted.
            EXPECT_FALSE(ok);
            EXPECT_NE(std::string::npos, error.find("such as GTiff")) << error;
            EXPECT_NE(std::string::npos, error.find("--accept-loss")) << error;
            options.acceptLoss = true;
            EXPECT_TRUE(ExportMap(map, exported, options, &written, &warnings, &error)) << error;
            continue;
        }
        ASSERT_TRUE(ok) << error;
        // Formats that keep no void value need it told on import.
        ImportOptions import;
        import.setVoids = !format->keepsMap;
        import.voidValue = kVoid;
        ImportReport report;
        std::string again = TempPath(std::string("formats-") + row.driver + ".map");
        ASSERT_TRUE(ImportRaster(exported, again, import, &report, &error)) << error;
        MapHeader header;
        std::vector<int16_t> back = ReadGrid(again, &header);
        ASSERT_EQ(samples.size(), back.size());
        size_t wrong = 0;
        for (size_t i = 0; i < samples.size(); ++i) wrong += samples[i] != back[i];
        EXPECT_EQ(0u, wrong) << "samples changed, the first at " << (std::mismatch(samples.begin(), samples.end(), back.begin()).first - samples.begin());
        EXPECT_EQ(4, report.voids);
        EXPECT_EQ(0, report.moved);
        EXPECT_TRUE(header.hasVoidValue);
        EXPECT_EQ(kVoid, header.voidValue);
        EXPECT_NEAR(7.0 - 1.5 * kArcSecond, header.originLon, 1e-9);
        EXPECT_NEAR(3 * kArcSecond, header.cellLat, 1e-10);
        if (format->keepsMap) {
            EXPECT_EQ(10u, header.mapType);
            EXPECT_EQ(1u, header.mat);
        }
    }
}

// What the tool does not write: drivers it has not checked (unless loss is accepted), and
// drivers that keep rasters somewhere other than a file.
TEST(MapExportFormatsTest, RefusesUncheckedFormatsAndFormatsThatWriteNoFile) {
    struct Row {
        const char* driver;
        bool acceptLoss;
        const char* error;  // nullptr: written
    };
    const Row rows[] = {
        {"ERS", false, "not among the formats this tool has checked"},
        {"ERS", true, nullptr},
        {"MEM", false, "not among the formats"},
        {"MEM", true, "MEM wrote no file"},
    };
    std::vector<int16_t> samples;
    const std::string map = MapWithVoids(false, &samples);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.driver) + (row.acceptLoss ? " --accept-loss" : ""));
        ExportOptions options;
        options.format = row.driver;
        options.acceptLoss = row.acceptLoss;
        std::vector<std::string> written, warnings;
        std::string out = TempPath(std::string("unchecked-") + row.driver + ".out"), error;
        bool ok = ExportMap(map, out, options, &written, &warnings, &error);
        EXPECT_EQ(row.error == nullptr, ok) << error;
        if (row.error != nullptr) {
            EXPECT_NE(std::string::npos, error.find(row.error)) << error;
        }
        EXPECT_EQ(ok, written.size() > 0);
    }
}

}  // namespace
