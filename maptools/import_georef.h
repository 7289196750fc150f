// Where an imported raster lies: the checks that it is north-up WGS 84 longitude/latitude
// (refusals carry the command that mends them), the warp --reproject does, and --crop.
#pragma once

#include <string>

#include <gdal_priv.h>

#include "maptools/gdal_import.h"

namespace mapimport {

// The start of the warp command the refusals print, as --reproject warps by default.
extern const char* const kWarpCommand;

// Empty when the dataset is north-up WGS 84 longitude/latitude (or a 3D or compound
// coordinate system whose horizontal part is that). Otherwise the reason, and whether
// warping to WGS 84 mends it (projected, other datums, rotated); the refusal prints the
// warp command, which marks the cells outside the source as voids.
std::string CheckGeoreference(GDALDataset& ds, const std::string& name, int bandIndex, bool* warpable);
// The dataset warped to WGS 84 as `gdalwarp -t_srs EPSG:4326 -r M [-tr C C]` warps it,
// in a GeoTIFF in a new folder beside the map `out`, removed when the copy goes.
struct WarpedCopy {
    std::string folder;
    std::string path;
    GDALDatasetUniquePtr dataset;
    WarpedCopy() = default;
    ~WarpedCopy();
    WarpedCopy(const WarpedCopy&) = delete;
    WarpedCopy& operator=(const WarpedCopy&) = delete;
};
bool WarpToWgs84(GDALDataset* source, int bandIndex, const ImportOptions& options, const std::string& out,
                 WarpedCopy* copy, std::string* error);
// How far past longitude +-180 a raster's edge may reach (adding up cell sizes) and still
// be taken as ending there.
const double kLongitudeSlack = 1e-9;
// Empty unless the raster crosses longitude 180; then the refusal with the commands that split it.
std::string AntimeridianAdvice(const std::string& name, const double* gt, int width, int height);
// Narrows *dataset to its largest rectangle without voids; `holder` keeps that view.
bool CropToData(GDALDataset** dataset, const std::string& name, int bandIndex, GDALDatasetUniquePtr* holder,
                ImportReport* report, std::string* error);

}  // namespace mapimport
