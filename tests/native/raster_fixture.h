// Rasters made through GDAL's API for the map tool's tests, and maps read back whole.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "mapstore/map_file.h"
#include "maptools/gdal_raster.h"

namespace maptest {

namespace fs = std::filesystem;

const double kArcSecond = 1.0 / 3600.0;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

inline std::string TempPath(const std::string& name) {
    fs::path dir = fs::path(::testing::TempDir()) / "zolva_map_tools_test";
    fs::create_directories(dir);
    return (dir / name).string();
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A raster to be written through GDAL: one band, row-major values.
struct TestRaster {
    const char* driver = "GTiff";
    int width = 0;
    int height = 0;
    GDALDataType type = GDT_Int16;
    double transform[6] = {0, 0, 0, 0, 0, 0};
    int epsg = 4326;  // 0: no coordinate reference system
    const char* srs = nullptr;  // any other, as "EPSG:4326+5773"
    bool hasNoData = false;
    double noData = 0.0;
    double scale = 1.0, offset = 0.0;
    const char* unit = "";
    std::vector<double> values;
};

// A geographic raster with 1 arc-second cells and the north-west corner at (lat, lon).
inline TestRaster GeographicRaster(int width, int height, double lat, double lon, double cell = kArcSecond) {
    TestRaster raster;
    raster.width = width;
    raster.height = height;
    double transform[6] = {lon, cell, 0.0, lat, 0.0, -cell};
    std::copy(transform, transform + 6, raster.transform);
    raster.values.resize(static_cast<size_t>(width) * height);
    // Spans negatives and values above 255, so a wrong byte order shows.
    for (size_t i = 0; i < raster.values.size(); ++i) raster.values[i] = double(int(i * 37 % 3001) - 500);
    return raster;
}

// Writes the raster through the named driver; drivers that only copy get an in-memory
// raster copied.
inline void WriteRaster(const TestRaster& raster, const std::string& path) {
    InitializeGdal();
    GDALDriver* target = GetGDALDriverManager()->GetDriverByName(raster.driver);
    ASSERT_NE(nullptr, target) << raster.driver;
    bool direct = target->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr;
    GDALDriver* maker = direct ? target : GetGDALDriverManager()->GetDriverByName("MEM");
    GDALDatasetUniquePtr ds(maker->Create(direct ? path.c_str() : "", raster.width, raster.height, 1, raster.type, nullptr));
    ASSERT_TRUE(ds) << raster.driver;
    double transform[6];
    std::copy(raster.transform, raster.transform + 6, transform);
    ASSERT_EQ(CE_None, ds->SetGeoTransform(transform));
    if (raster.epsg != 0 || raster.srs != nullptr) {
        OGRSpatialReference srs;
        ASSERT_EQ(OGRERR_NONE, raster.srs != nullptr ? srs.SetFromUserInput(raster.srs) : srs.importFromEPSG(raster.epsg));
        srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        ASSERT_EQ(CE_None, ds->SetSpatialRef(&srs));
    }
    GDALRasterBand* band = ds->GetRasterBand(1);
    if (raster.hasNoData) band->SetNoDataValue(raster.noData);
    if (raster.scale != 1.0 || raster.offset != 0.0) band->SetScale(raster.scale), band->SetOffset(raster.offset);
    if (*raster.unit != '\0') band->SetUnitType(raster.unit);
    std::vector<double> values = raster.values;
    ASSERT_EQ(CE_None, band->RasterIO(GF_Write, 0, 0, raster.width, raster.height, values.data(), raster.width,
                                      raster.height, GDT_Float64, 0, 0, nullptr));
    if (!direct) {
        GDALDatasetUniquePtr copy(target->CreateCopy(path.c_str(), ds.get(), TRUE, nullptr, nullptr, nullptr));
        ASSERT_TRUE(copy) << raster.driver << ": " << CPLGetLastErrorMsg();
    }
}

// The whole grid of a small map, row-major.
inline std::vector<int16_t> ReadGrid(const std::string& path, MapHeader* header) {
    MapFileReader reader;
    std::string error;
    EXPECT_TRUE(reader.Open(path, &error)) << error;
    *header = reader.header();
    std::vector<int16_t> grid(static_cast<size_t>(header->width) * header->height);
    std::vector<int16_t> block(kMapBlockSamples);
    for (int32_t row0 = 0; row0 < header->height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < header->width; col0 += kMapBlockSide) {
            EXPECT_TRUE(reader.ReadBlock(MapBlockCode(row0, col0), block.data(), &error)) << error;
            for (int32_t r = 0; r < kMapBlockSide && row0 + r < header->height; ++r) {
                for (int32_t c = 0; c < kMapBlockSide && col0 + c < header->width; ++c) {
                    grid[size_t(row0 + r) * header->width + col0 + c] = block[size_t(r) * kMapBlockSide + c];
                }
            }
        }
    }
    return grid;
}

// Same size, georeference (bit for bit) and samples.
inline void ExpectSameMap(const std::string& expected, const std::string& actual) {
    MapHeader a, b;
    std::vector<int16_t> gridA = ReadGrid(expected, &a);
    std::vector<int16_t> gridB = ReadGrid(actual, &b);
    EXPECT_EQ(a.width, b.width) << actual;
    EXPECT_EQ(a.height, b.height) << actual;
    EXPECT_EQ(a.originLat, b.originLat) << actual;
    EXPECT_EQ(a.originLon, b.originLon) << actual;
    EXPECT_EQ(a.cellLat, b.cellLat) << actual;
    EXPECT_EQ(a.cellLon, b.cellLon) << actual;
    EXPECT_TRUE(gridA == gridB) << actual << " holds other samples than " << expected;
}

}  // namespace maptest
