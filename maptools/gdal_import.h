// Importing any raster GDAL reads as a map.
//
// The raster must be north-up in WGS 84 longitude/latitude; a projected one (or one on
// another datum) is refused with the command that fixes it, unless `reproject` asks for
// it to be warped. Rotated rasters are refused. Floating-point elevations round to the
// nearest metre (halves away from zero) after the band's scale and offset and its unit (feet
// become metres; an unknown unit is refused); values outside int16 are clamped. Voids (the
// band's nodata value, NaN and infinities) are never stored as heights silently: the map
// is written in one pass through a temporary file, and voids that are neither set nor
// filled drop it, so a refused import leaves nothing under the map's name and any map
// there as it was. A height equal to the void value is moved 1 m off it (and counted), so
// a real height never becomes a void. Complex bands are refused.
//
// The map remembers the void value voids were stored as. A raster exported from a map
// (it carries the map type item) whose nodata value is a whole int16 brings its voids
// back as that value, so importing an export gives the same map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "maptools/gdal_export.h"

struct ImportOptions {
    int band = 1;              // 1-based
    bool reproject = false;    // warp to WGS 84 instead of refusing
    bool fillVoids = false;    // fill voids from their valid neighbours
    double maxDistance = 100;  // cells a void is filled across, at most
    bool setVoids = false;     // store voids as voidValue (with fillVoids: those left unfilled)
    int16_t voidValue = 0;
    bool keepsVoidValue = false;  // the map keeps voidValue as its void value though voids are not set
    uint32_t mapType = 5;
    bool mat = false;
    // Without them, a map's export gives back its map type and MAT flag.
    bool typeGiven = false;
    bool matGiven = false;
    // Warping, as gdalwarp -t_srs EPSG:4326 -r <resampling> [-tr <cellSize> <cellSize>].
    std::string resampling = "bilinear";
    double cellSize = 0.0;     // degrees; 0: GDAL's suggestion, which keeps the resolution
    bool crop = false;         // keep the largest north-up rectangle that holds no void
    // Filling works on bands of rows in memory within this many bytes (the results are
    // those of filling the whole raster); 0, or a raster too wide for it: one copy on disk.
    int64_t fillMemoryBytes = 128ll << 20;
    ProgressFunc progress = nullptr;  // called with 0..1
    void* progressData = nullptr;
};

struct ImportReport {
    MapHeader header;
    bool reprojected = false;
    int16_t minimum = 0;
    int16_t maximum = 0;
    int64_t voids = 0;         // voids in the source (after warping)
    int64_t infinite = 0;      // of them, infinite values
    int64_t voidsFilled = 0;
    int64_t voidsSet = 0;
    int64_t rounded = 0;       // values that were not whole metres
    int64_t clamped = 0;       // values outside int16
    int64_t moved = 0;         // heights equal to the void value, moved 1 m off it
    int32_t firstUnsetVoidRow = -1;  // the first row holding a void neither set nor filled
    std::vector<std::string> notes;  // what was applied to the values, and what the map could not keep
    // With crop: the window kept, in cells of the (warped) raster; width 0: none was cut.
    int32_t cropColumn = 0, cropRow = 0, cropWidth = 0, cropHeight = 0;
};

// The largest distance, in cells, a void is filled across, unless told otherwise.
const double kFillSearchCells = 100.0;

bool ImportRaster(const std::string& source, const std::string& out, const ImportOptions& options,
                  ImportReport* report, std::string* error);

// The report as printed by the tool, several lines.
std::string DescribeImport(const ImportReport& report);
