#include "maptools/import_georef.h"

#include <cmath>
#include <filesystem>
#include <vector>

#include <cpl_string.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include "mapstore/file_io.h"
#include "maptools/gdal_raster.h"
#include "maptools/void_crop.h"

namespace mapimport {

namespace {

// A coordinate system's name and, when it has one, its code: "WGS 84 (EPSG:4979)".
std::string Named(const OGRSpatialReference& srs) {
    std::string text = srs.GetName() != nullptr ? srs.GetName() : "an unnamed coordinate system";
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    if (authority != nullptr && code != nullptr) text += std::string(" (") + authority + ":" + code + ")";
    return text;
}

// The command that warps the raster to WGS 84 as --reproject does, with the cells outside
// the source marked as voids, and how to import what it writes.
std::string WarpAdvice(GDALDataset& ds, int bandIndex, const std::string& name, const std::string& out) {
    int hasNoData = 0;
    double noData = ds.GetRasterBand(bandIndex)->GetNoDataValue(&hasNoData);
    std::string marker = hasNoData ? CPLSPrintf("-dstnodata %.17g", noData) : "-ot Float64 -dstnodata nan";
    return "import it with --reproject, or warp it first: " + std::string(kWarpCommand) + marker + " " + name + " " +
           out + " (then import " + out + " with --crop or --void-value V: the cells outside the source are voids)";
}

}  // namespace

const char* const kWarpCommand = "gdalwarp -t_srs EPSG:4326 -r bilinear ";

std::string CheckGeoreference(GDALDataset& ds, const std::string& name, int bandIndex, bool* warpable) {
    *warpable = false;
    double gt[6];
    if (ds.GetGeoTransform(gt) != CE_None) return name + " has no geotransform, so where its cells lie is unknown";
    const OGRSpatialReference* srs = ds.GetSpatialRef();
    if (srs == nullptr) {
        return name + " has no coordinate reference system; if it is WGS 84 longitude/latitude, say so with: " +
               "gdal_translate -a_srs EPSG:4326 " + name + " fixed.tif";
    }
    if (!srs->IsProjected() && !srs->IsGeographic()) {
        return name + "'s coordinate system (" + Named(*srs) + ") is neither geographic nor projected";
    }
    *warpable = true;
    if (gt[2] != 0.0 || gt[4] != 0.0) {
        return name + " has a rotated geotransform; maps are north-up rasters: " +
               WarpAdvice(ds, bandIndex, name, "north-up.tif");
    }
    std::string fix = "; " + WarpAdvice(ds, bandIndex, name, "wgs84.tif");
    if (srs->IsProjected()) {
        return name + " is in projected coordinates (" + Named(*srs) + "), not longitude/latitude in degrees" + fix;
    }
    // The horizontal part decides: a 3D WGS 84 or WGS 84 with heights above a geoid is WGS 84.
    OGRSpatialReference horizontal(*srs);
    if (horizontal.IsCompound()) horizontal.StripVertical();
    if (horizontal.GetAxesCount() == 3) horizontal.DemoteTo2D(nullptr);
    OGRSpatialReference wgs84 = Wgs84LonLat();
    if (!horizontal.IsSameGeogCS(&wgs84)) return name + " is in " + Named(*srs) + ", not WGS 84 (EPSG:4326)" + fix;
    const std::vector<int>& mapping = srs->GetDataAxisToSRSAxisMapping();
    OGRAxisOrientation orientation = OAO_East;
    srs->GetAxis(nullptr, mapping.empty() ? 0 : std::abs(mapping[0]) - 1, &orientation);
    if (orientation != OAO_East && orientation != OAO_West) return name + "'s columns run along latitude" + fix;
    if (!(gt[1] > 0.0) || !(gt[5] < 0.0)) return name + " is not north-up (its rows or columns run backwards)" + fix;
    *warpable = false;
    return std::string();
}

WarpedCopy::~WarpedCopy() {
    dataset.reset();
    if (!path.empty()) VSIUnlink(path.c_str());
    if (!folder.empty()) RemoveFolder(folder);
}

// Warping runs gdalwarp's own function with the command's options into a GeoTIFF, as the
// command does: a warped view (VRT) warps in other chunks, and GDAL's approximate
// transformer then gives other values along chunk edges. Only a source without a nodata
// value gets more: NaN as the warp's nodata value (and Float64 to hold it), since the cells
// outside the source would otherwise read as heights of 0.
bool WarpToWgs84(GDALDataset* source, int bandIndex, const ImportOptions& options, const std::string& out,
                 WarpedCopy* copy, std::string* error) {
    CPLStringList args;
    for (const char* arg : {"-q", "-of", "GTiff", "-t_srs", "EPSG:4326", "-r"}) args.AddString(arg);
    args.AddString(options.resampling.c_str());
    if (options.cellSize > 0.0) {
        args.AddString("-tr");
        args.AddString(CPLSPrintf("%.17g", options.cellSize));
        args.AddString(CPLSPrintf("%.17g", options.cellSize));
    }
    int hasNoData = 0;
    source->GetRasterBand(bandIndex)->GetNoDataValue(&hasNoData);
    if (!hasNoData) {
        for (const char* arg : {"-ot", "Float64", "-dstnodata", "nan"}) args.AddString(arg);
    }
    if (!CreateFolderBeside(out, &copy->folder, error)) return false;
    copy->path = (std::filesystem::path(copy->folder) / "wgs84.tif").string();
    GDALWarpAppOptions* warpOptions = GDALWarpAppOptionsNew(args.List(), nullptr);
    if (options.progress != nullptr) GDALWarpAppOptionsSetProgress(warpOptions, options.progress, options.progressData);
    GDALDatasetH input = GDALDataset::ToHandle(source);
    int usageError = 0;
    GDALDatasetH warped = GDALWarp(copy->path.c_str(), nullptr, 1, &input, warpOptions, &usageError);
    GDALWarpAppOptionsFree(warpOptions);
    copy->dataset.reset(GDALDataset::FromHandle(warped));
    if (!copy->dataset) return *error = GdalError("cannot warp to WGS 84"), false;
    return true;
}

// A raster that crosses longitude 180 (its edges past 180 or -180 by more than
// kLongitudeSlack), with the two gdal_translate commands that cut it there at the column
// nearest the line. Both parts get their corners written out: the part beyond the line
// moved by 360 degrees, and the line itself exact, as adding up cell sizes may miss it.
std::string AntimeridianAdvice(const std::string& name, const double* gt, int width, int height) {
    double west = gt[0], east = gt[0] + width * gt[1], north = gt[3], south = gt[3] + height * gt[5];
    if (east - west >= 360.0 || (east <= 180.0 + kLongitudeSlack && west >= -180.0 - kLongitudeSlack)) {
        return std::string();
    }
    bool pastEast = east > 180.0;
    double line = pastEast ? 180.0 : -180.0, shift = pastEast ? -360.0 : 360.0;
    int cut = static_cast<int>(std::lround((line - west) / gt[1]));
    double cutLon = west + cut * gt[1];
    if (std::fabs(cutLon - line) < 1e-6 * gt[1]) cutLon = line;
    std::string text = CPLSPrintf("%s reaches longitude %.10g, past %s180: maps can't cross longitude 180. Split it "
                                  "there and import the parts as two maps:\n", name.c_str(), pastEast ? east : west,
                                  pastEast ? "" : "-");
    // The western part first, then the eastern.
    double westShift = pastEast ? 0.0 : shift, eastShift = pastEast ? shift : 0.0;
    text += CPLSPrintf("  gdal_translate -srcwin 0 0 %d %d -a_ullr %.17g %.17g %.17g %.17g %s part1.tif\n", cut, height,
                       west + westShift, north, cutLon + westShift, south, name.c_str());
    text += CPLSPrintf("  gdal_translate -srcwin %d 0 %d %d -a_ullr %.17g %.17g %.17g %.17g %s part2.tif", cut,
                       width - cut, height, cutLon + eastShift, north, east + eastShift, south, name.c_str());
    return text;
}

// Narrows *dataset to its largest rectangle without voids; `holder` keeps that view.
bool CropToData(GDALDataset** dataset, const std::string& name, int bandIndex, GDALDatasetUniquePtr* holder,
                ImportReport* report, std::string* error) {
    CellWindow window;
    if (!LargestWindowWithoutVoids((*dataset)->GetRasterBand(bandIndex), &window, error)) return false;
    if (window.width == 0) return *error = "every cell of " + name + " is a void; --crop leaves nothing", false;
    if (window.width == (*dataset)->GetRasterXSize() && window.height == (*dataset)->GetRasterYSize()) return true;
    CPLStringList args;
    for (const char* arg : {"-of", "VRT", "-srcwin"}) args.AddString(arg);
    for (int32_t v : {window.column, window.row, window.width, window.height}) args.AddString(std::to_string(v).c_str());
    GDALTranslateOptions* options = GDALTranslateOptionsNew(args.List(), nullptr);
    GDALDatasetH cropped = GDALTranslate("", GDALDataset::ToHandle(*dataset), options, nullptr);
    GDALTranslateOptionsFree(options);
    if (cropped == nullptr) return *error = GdalError("cannot crop " + name), false;
    holder->reset(GDALDataset::FromHandle(cropped));
    *dataset = holder->get();
    report->cropColumn = window.column;
    report->cropRow = window.row;
    report->cropWidth = window.width;
    report->cropHeight = window.height;
    return true;
}

}  // namespace mapimport
