#include "devhost/tools/gdal_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include "devhost/store/file_io.h"
#include "devhost/tools/gdal_raster.h"
#include "devhost/tools/map_stream.h"
#include "devhost/tools/sidecar_json.h"
#include "devhost/tools/void_crop.h"

namespace {

// Rows read from GDAL at a time, as doubles, inside one row of blocks.
const int kStripRows = 32;

// The band being imported and what marks its voids.
struct BandSource {
    GDALRasterBand* band = nullptr;
    bool hasNoData = false;
    double noData = 0.0;
    // Whole numbers inside int16 (Byte, Int16): read as int16 as they are, no rounding.
    bool asInt16 = false;
    bool noDataIsInt16 = false;  // the nodata value is one such number

    explicit BandSource(GDALRasterBand* b) : band(b) {
        int has = 0;
        noData = b->GetNoDataValue(&has);
        hasNoData = has != 0;
        GDALDataType type = b->GetRasterDataType();
        asInt16 = type == GDT_Byte || type == GDT_Int16;
        noDataIsInt16 = hasNoData && noData == std::round(noData) && noData >= -32768.0 && noData <= 32767.0;
    }
    // An infinite elevation is no height at all.
    bool IsVoid(double v) const { return !std::isfinite(v) || (hasNoData && v == noData); }
};

const char* const kWarpAdvice = "gdalwarp -t_srs EPSG:4326 -r bilinear ";

// Empty when the dataset is north-up WGS 84 longitude/latitude. Otherwise the reason, and
// whether warping to WGS 84 mends it.
std::string CheckGeoreference(GDALDataset& ds, const std::string& name, bool* warpable) {
    *warpable = false;
    double gt[6];
    if (ds.GetGeoTransform(gt) != CE_None) return name + " has no geotransform, so where its cells lie is unknown";
    if (gt[2] != 0.0 || gt[4] != 0.0) {
        return name + " has a rotated geotransform; maps are north-up rasters. Make it north-up first with: " +
               kWarpAdvice + name + " north-up.tif";
    }
    const OGRSpatialReference* srs = ds.GetSpatialRef();
    if (srs == nullptr) {
        return name + " has no coordinate reference system; if it is WGS 84 longitude/latitude, say so with: " +
               "gdal_translate -a_srs EPSG:4326 " + name + " fixed.tif";
    }
    std::string fix = "; import it with --reproject, or warp it first: " + std::string(kWarpAdvice) + name + " wgs84.tif";
    const char* crsName = srs->GetName() != nullptr ? srs->GetName() : "unnamed";
    *warpable = true;
    if (srs->IsProjected()) {
        return name + " is in projected coordinates (" + crsName + "), not longitude/latitude in degrees" + fix;
    }
    if (!srs->IsGeographic()) {
        *warpable = false;
        return name + "'s coordinate system (" + crsName + ") is neither geographic nor projected";
    }
    OGRSpatialReference wgs84 = Wgs84LonLat();
    if (!srs->IsSameGeogCS(&wgs84)) return name + " is in " + crsName + ", not WGS 84" + fix;
    const std::vector<int>& mapping = srs->GetDataAxisToSRSAxisMapping();
    OGRAxisOrientation orientation = OAO_East;
    srs->GetAxis(nullptr, mapping.empty() ? 0 : std::abs(mapping[0]) - 1, &orientation);
    if (orientation != OAO_East && orientation != OAO_West) return name + "'s columns run along latitude" + fix;
    if (!(gt[1] > 0.0) || !(gt[5] < 0.0)) return name + " is not north-up (its rows or columns run backwards)" + fix;
    *warpable = false;
    return std::string();
}

// A warped view of the dataset in WGS 84, made as `gdalwarp -t_srs EPSG:4326 -r M
// [-tr C C]` makes it, so that importing it equals importing that command's output. Only a
// source without a nodata value gets more: NaN as the warp's nodata value (and Float64 to
// hold it), since the cells outside the source would otherwise read as heights of 0.
GDALDatasetUniquePtr WarpToWgs84(GDALDataset* source, int bandIndex, const ImportOptions& options, std::string* error) {
    CPLStringList args;
    for (const char* arg : {"-q", "-of", "VRT", "-t_srs", "EPSG:4326", "-r"}) args.AddString(arg);
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
    GDALWarpAppOptions* warpOptions = GDALWarpAppOptionsNew(args.List(), nullptr);
    if (options.progress != nullptr) GDALWarpAppOptionsSetProgress(warpOptions, options.progress, options.progressData);
    GDALDatasetH input = GDALDataset::ToHandle(source);
    int usageError = 0;
    GDALDatasetH warped = GDALWarp("", nullptr, 1, &input, warpOptions, &usageError);
    GDALWarpAppOptionsFree(warpOptions);
    if (warped == nullptr) *error = GdalError("cannot warp to WGS 84");
    return GDALDatasetUniquePtr(GDALDataset::FromHandle(warped));
}

void Track(int16_t value, ImportReport* report, int64_t* stored) {
    report->minimum = (*stored == 0) ? value : std::min(report->minimum, value);
    report->maximum = (*stored == 0) ? value : std::max(report->maximum, value);
    ++*stored;
}

// What a void becomes: the void value when voids are set (counted as stored), else 0.
int16_t VoidSample(bool infinite, const ImportOptions& options, ImportReport* report, int64_t* stored) {
    ++report->voids;
    if (infinite) ++report->infinite;
    if (!options.setVoids) return 0;
    ++report->voidsSet;
    Track(options.voidValue, report, stored);
    return options.voidValue;
}

// One source value as a stored sample; voids not being set read as 0 and are counted.
int16_t ConvertSample(double value, const BandSource& source, const ImportOptions& options,
                      ImportReport* report, int64_t* stored) {
    if (source.IsVoid(value)) return VoidSample(std::isinf(value), options, report, stored);
    double whole = std::round(value);
    if (whole != value) ++report->rounded;
    if (whole < std::numeric_limits<int16_t>::min() || whole > std::numeric_limits<int16_t>::max()) {
        ++report->clamped;
        whole = std::clamp(whole, double(std::numeric_limits<int16_t>::min()), double(std::numeric_limits<int16_t>::max()));
    }
    int16_t sample = static_cast<int16_t>(whole);
    Track(sample, report, stored);
    return sample;
}

// Reads `count` rows from row0 into `out` as stored samples. Int16-valued bands are read
// straight into `out` and only their voids are touched; others go through doubles.
bool ReadRows(const BandSource& source, const ImportOptions& options, int32_t row0, int32_t count, int16_t* out,
              std::vector<double>* strip, ImportReport* report, int64_t* stored, std::string* error) {
    int32_t width = source.band->GetXSize();
    size_t cells = static_cast<size_t>(count) * width;
    if (source.asInt16) {
        if (source.band->RasterIO(GF_Read, 0, row0, width, count, out, width, count, GDT_Int16, 0, 0, nullptr) != CE_None) {
            return *error = GdalError("cannot read rows " + std::to_string(row0)), false;
        }
        int16_t low = std::numeric_limits<int16_t>::max(), high = std::numeric_limits<int16_t>::min();
        int16_t marker = source.noDataIsInt16 ? static_cast<int16_t>(source.noData) : 0;
        for (size_t i = 0; i < cells; ++i) {
            if (source.noDataIsInt16 && out[i] == marker) {
                out[i] = VoidSample(false, options, report, stored);
                continue;
            }
            low = std::min(low, out[i]);
            high = std::max(high, out[i]);
        }
        int64_t heights = static_cast<int64_t>(cells) - (report->voids - report->voidsSet);
        if (heights > int64_t(report->voidsSet) || low <= high) {
            if (low <= high) Track(low, report, stored), Track(high, report, stored);
        }
        return true;
    }
    for (int32_t s = 0; s < count; s += kStripRows) {
        int32_t rows = std::min(kStripRows, count - s);
        if (source.band->RasterIO(GF_Read, 0, row0 + s, width, rows, strip->data(), width, rows, GDT_Float64, 0, 0,
                                  nullptr) != CE_None) {
            return *error = GdalError("cannot read rows " + std::to_string(row0 + s)), false;
        }
        int16_t* target = out + static_cast<size_t>(s) * width;
        for (size_t i = 0; i < static_cast<size_t>(rows) * width; ++i) {
            target[i] = ConvertSample((*strip)[i], source, options, report, stored);
        }
    }
    return true;
}

// Reads the band by rows of blocks, converts it and writes it to *writer. Unless voids are
// set, the first void drops the writer (its temporary goes, nothing takes the map's name)
// and, with `stopAtVoid`, ends the pass; otherwise the pass goes on counting.
bool StreamBand(const BandSource& source, const ImportOptions& options, std::unique_ptr<MapStreamWriter>* writer,
                bool stopAtVoid, ImportReport* report, std::string* error) {
    int32_t width = source.band->GetXSize();
    int32_t height = source.band->GetYSize();
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * width);
    std::vector<double> strip(source.asInt16 ? 0 : static_cast<size_t>(kStripRows) * width);
    int64_t stored = 0;
    for (int32_t row0 = 0; row0 < height; row0 += kMapBlockSide) {
        int32_t bandRows = std::min(kMapBlockSide, height - row0);
        if (!ReadRows(source, options, row0, bandRows, rows.data(), &strip, report, &stored, error)) return false;
        if (report->voids > report->voidsSet) {
            writer->reset();
            if (stopAtVoid) return true;
        }
        if (*writer && !(*writer)->AppendBlockRow(row0, rows.data(), error)) return false;
        if (options.progress != nullptr && !options.progress(double(row0 + bandRows) / height, nullptr, options.progressData)) {
            return *error = "interrupted", false;
        }
    }
    return true;
}

// The void marker of an int16 working copy. A filled value is a weighted mean of valid
// values, so it never equals this marker unless a valid value does; then the copy is made
// in floating point instead.
const int16_t kWorkingVoid = std::numeric_limits<int16_t>::min();
// A filled value depends only on valid cells within the search distance, so a band of rows
// filled with this many rows of context above and below fills as the whole raster does.
const int32_t kFillContextRows = static_cast<int32_t>(kFillSearchCells) + 1;

// Rows of the source held by one working copy, and the rows of the map it gives.
struct FillBand {
    int32_t first = 0, count = 0;  // source rows in the copy
    int32_t core0 = 0, core1 = 0;  // the rows written from it, a multiple of kMapBlockSide from core0
};

// Copies the band's rows into the working copy with every void as the copy's own marker
// (NaN, or kWorkingVoid), so that no filled value can be taken for a void afterwards
// (filling between 99 and 101 gives 100, which may well be the nodata value); counts the
// voids of the core rows. False with an empty error when a valid value equals kWorkingVoid.
bool CopyMarkingVoids(const BandSource& source, const FillBand& part, GDALRasterBand* copy, int64_t* voids,
                      int64_t* infinite, std::string* error) {
    int32_t width = source.band->GetXSize();
    bool asInt16 = copy->GetRasterDataType() == GDT_Int16;
    std::vector<double> strip(static_cast<size_t>(kStripRows) * width);
    for (int32_t row = part.first; row < part.first + part.count; row += kStripRows) {
        int32_t count = std::min(kStripRows, part.first + part.count - row);
        if (source.band->RasterIO(GF_Read, 0, row, width, count, strip.data(), width, count, GDT_Float64, 0, 0,
                                  nullptr) != CE_None) {
            return *error = GdalError("cannot read rows " + std::to_string(row)), false;
        }
        for (size_t i = 0; i < static_cast<size_t>(count) * width; ++i) {
            double& value = strip[i];
            if (source.IsVoid(value)) {
                int32_t r = row + static_cast<int32_t>(i / width);
                bool core = r >= part.core0 && r < part.core1;
                *voids += core;
                *infinite += core && std::isinf(value);
                value = asInt16 ? kWorkingVoid : std::numeric_limits<double>::quiet_NaN();
            } else if (asInt16 && value == kWorkingVoid) {
                return error->clear(), false;
            }
        }
        if (copy->RasterIO(GF_Write, 0, row - part.first, width, count, strip.data(), width, count, GDT_Float64, 0, 0,
                           nullptr) != CE_None) {
            return *error = GdalError("cannot write the working copy"), false;
        }
    }
    return true;
}

// The working copy's type: int16 for int16-valued bands (the copy is then no larger than
// the map), else the band's floating-point type, so that values round only once.
GDALDataType WorkingType(const BandSource& source, bool int16Allowed) {
    if (source.asInt16 && int16Allowed) return GDT_Int16;
    return source.band->GetRasterDataType() == GDT_Float32 ? GDT_Float32 : GDT_Float64;
}

// A working copy of some rows, in memory, or in a GeoTIFF at `path` when one is given.
GDALDatasetUniquePtr MakeWorkingCopy(const BandSource& source, const FillBand& part, bool int16Allowed,
                                     const std::string& path, int64_t* voids, int64_t* infinite, std::string* error) {
    GDALDataType type = WorkingType(source, int16Allowed);
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(path.empty() ? "MEM" : "GTiff");
    const char* creation[] = {"TILED=YES", "BIGTIFF=IF_SAFER", nullptr};
    GDALDatasetUniquePtr copy(driver->Create(path.c_str(), source.band->GetXSize(), part.count, 1, type,
                                             path.empty() ? nullptr : const_cast<char**>(creation)));
    if (!copy) return *error = GdalError("cannot create the working copy " + path), nullptr;
    GDALRasterBand* band = copy->GetRasterBand(1);
    band->SetNoDataValue(type == GDT_Int16 ? kWorkingVoid : std::numeric_limits<double>::quiet_NaN());
    int64_t v = 0, inf = 0;
    if (!CopyMarkingVoids(source, part, band, &v, &inf, error)) {
        copy.reset();
        if (error->empty() && int16Allowed) return MakeWorkingCopy(source, part, false, path, voids, infinite, error);
        return nullptr;
    }
    *voids += v;
    *infinite += inf;
    return copy;
}

// Fills one working copy and writes its core rows to *writer; voids left unfilled drop the
// writer and are counted in `pass`.
bool FillAndWriteBand(const BandSource& source, const ImportOptions& options, const FillBand& part,
                      const std::string& path, std::unique_ptr<MapStreamWriter>* writer, ImportReport* found,
                      ImportReport* pass, int64_t* stored, std::string* error) {
    GDALDatasetUniquePtr copy =
        MakeWorkingCopy(source, part, true, path, &found->voids, &found->infinite, error);
    if (!copy) return false;
    const char* inMemory[] = {"TEMP_FILE_DRIVER=MEM", nullptr};
    if (GDALFillNodata(copy->GetRasterBand(1), nullptr, kFillSearchCells, 0, 0,
                       path.empty() ? const_cast<char**>(inMemory) : nullptr, nullptr, nullptr) != CE_None) {
        return *error = GdalError("cannot fill the voids"), false;
    }
    BandSource filled(copy->GetRasterBand(1));
    int32_t width = source.band->GetXSize();
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * width);
    std::vector<double> strip(filled.asInt16 ? 0 : static_cast<size_t>(kStripRows) * width);
    for (int32_t row0 = part.core0; row0 < part.core1; row0 += kMapBlockSide) {
        int32_t count = std::min(kMapBlockSide, part.core1 - row0);
        if (!ReadRows(filled, options, row0 - part.first, count, rows.data(), &strip, pass, stored, error)) return false;
        if (pass->voids > 0) writer->reset();
        if (*writer && !(*writer)->AppendBlockRow(row0, rows.data(), error)) return false;
    }
    return true;
}

// How the raster is cut for filling: bands of rows filled in memory when a band of the
// raster's width fits the memory allowed, else the whole raster in one copy on disk.
std::vector<FillBand> PlanFill(const BandSource& source, int64_t memoryBytes, bool* onDisk) {
    int32_t width = source.band->GetXSize(), height = source.band->GetYSize();
    int64_t bytesPerCell = 2 * GDALGetDataTypeSizeBytes(WorkingType(source, true)) + 4 + 1;
    int64_t rowsFitting = memoryBytes / (bytesPerCell * width) - 2 * kFillContextRows;
    int32_t core = static_cast<int32_t>(std::max<int64_t>(rowsFitting, 0) / kMapBlockSide * kMapBlockSide);
    *onDisk = core == 0;
    if (*onDisk) return {FillBand{0, height, 0, height}};
    std::vector<FillBand> parts;
    for (int32_t core0 = 0; core0 < height; core0 += core) {
        int32_t core1 = std::min(height, core0 + core);
        int32_t first = std::max(0, core0 - kFillContextRows);
        int32_t last = std::min(height, core1 + kFillContextRows);
        parts.push_back(FillBand{first, last - first, core0, core1});
    }
    return parts;
}

// A raster that crosses longitude 180 (its edges past 180 or -180), with the two
// gdal_translate commands that cut it there; the eastern part is moved by 360 degrees.
std::string AntimeridianAdvice(const std::string& name, const double* gt, int width, int height) {
    double west = gt[0], east = gt[0] + width * gt[1], north = gt[3], south = gt[3] + height * gt[5];
    if (east - west >= 360.0 || (east <= 180.0 && west >= -180.0)) return std::string();
    double cut = east > 180.0 ? 180.0 : -180.0, shift = east > 180.0 ? -360.0 : 360.0;
    std::string text = CPLSPrintf("%s reaches longitude %.10g, past %s180: maps can't cross longitude 180. Split it "
                                  "there and import the parts as two maps:\n", name.c_str(), east > 180.0 ? east : west,
                                  east > 180.0 ? "" : "-");
    text += CPLSPrintf("  gdal_translate -projwin %.12g %.12g %.12g %.12g %s part1.tif\n", west, north, cut, south,
                       name.c_str());
    text += CPLSPrintf("  gdal_translate -projwin %.12g %.12g %.12g %.12g -a_ullr %.12g %.12g %.12g %.12g %s part2.tif",
                       cut, north, east, south, cut + shift, north, east + shift, south, name.c_str());
    return text;
}

bool HeaderFromDataset(GDALDataset& ds, const std::string& name, const ImportOptions& options, MapHeader* header,
                       std::string* error) {
    double gt[6];
    ds.GetGeoTransform(gt);
    if (ds.GetRasterXSize() > kMaxMapColumns || ds.GetRasterYSize() > kMaxMapRows) {
        return *error = "a map holds at most " + std::to_string(kMaxMapColumns) + " x " +
                        std::to_string(kMaxMapRows) + " samples",
               false;
    }
    header->width = ds.GetRasterXSize();
    header->height = ds.GetRasterYSize();
    header->originLon = gt[0];
    header->cellLon = gt[1];
    header->originLat = gt[3];
    header->cellLat = -gt[5];
    header->mapType = options.mapType;
    header->mat = options.mat ? 1 : 0;
    header->hasVoidValue = options.setVoids;
    header->voidValue = options.setVoids ? options.voidValue : 0;
    RawGridInfo grid{header->width, header->height, header->originLat, header->originLon, header->cellLon,
                     header->cellLat};
    std::string problem = AntimeridianAdvice(name, gt, header->width, header->height);
    if (!problem.empty()) return *error = problem, false;
    problem = CheckGridOnGlobe(grid);
    if (!problem.empty()) return *error = "the raster's georeference is impossible: " + problem, false;
    return true;
}

std::string VoidAdvice(const ImportReport& report, const BandSource& source) {
    char marker[64] = "NaN";
    if (source.hasNoData) std::snprintf(marker, sizeof marker, "nodata value %.10g", source.noData);
    if (report.infinite > 0) std::snprintf(marker + std::strlen(marker), sizeof marker - std::strlen(marker), " or infinite");
    std::string why = report.reprojected ? ", including the cells warping leaves outside the source" : "";
    return std::to_string(report.voids) + " cells are voids (" + std::string(marker) + why +
           "); nothing was written. Use --fill-voids to fill them from their neighbours, --void-value V "
           "to store them as V metres, or --crop to keep the largest north-up rectangle that holds no void";
}

// Writes the map in one pass; a pass that meets voids that are neither set nor filled
// writes nothing under the map's name.
bool WriteMap(const BandSource& band, const std::string& out, const ImportOptions& options, bool stopAtVoid,
              ImportReport* report, std::string* error) {
    auto writer = std::make_unique<MapStreamWriter>();
    if (!writer->Begin(out, report->header, error)) return false;
    if (!StreamBand(band, options, &writer, stopAtVoid, report, error)) return false;
    return writer == nullptr || writer->Finish(error);
}

// Fills the voids the first pass met while writing the map again; voids too far from
// valid data are refused. The whole-raster copy on disk, and the fill's own work files,
// go in a new folder beside the map, removed when done.
bool FillAndWrite(const BandSource& source, const std::string& out, const ImportOptions& options, ImportReport* report,
                  std::string* error) {
    bool onDisk = false;
    std::vector<FillBand> parts = PlanFill(source, options.fillMemoryBytes, &onDisk);
    std::string folder, path;
    if (onDisk && !CreateFolderBeside(out, &folder, error)) return false;
    if (onDisk) path = (std::filesystem::path(folder) / "voids.tif").string();
    ImportReport found, pass = *report;  // the header, the warp and the crop
    pass.voids = pass.infinite = pass.voidsSet = pass.rounded = pass.clamped = 0;
    auto writer = std::make_unique<MapStreamWriter>();
    bool ok = writer->Begin(out, report->header, error);
    int64_t stored = 0;
    if (onDisk) CPLSetThreadLocalConfigOption("CPL_TMPDIR", folder.c_str());
    for (size_t i = 0; ok && i < parts.size(); ++i) {
        ok = FillAndWriteBand(source, options, parts[i], path, &writer, &found, &pass, &stored, error);
        if (ok && options.progress != nullptr && !options.progress(double(i + 1) / parts.size(), nullptr, options.progressData)) {
            ok = false, *error = "interrupted";
        }
    }
    if (onDisk) CPLSetThreadLocalConfigOption("CPL_TMPDIR", nullptr);
    if (onDisk) VSIUnlink(path.c_str()), RemoveFolder(folder);
    if (!ok) return false;
    int64_t unfilled = pass.voids;
    *report = pass;
    report->voids = found.voids;
    report->infinite = found.infinite;
    report->voidsFilled = found.voids - unfilled;
    if (unfilled > 0) {
        return *error = std::to_string(unfilled) + " voids lie more than " + std::to_string(int(kFillSearchCells)) +
                        " cells from valid data and stay unfilled; nothing was written. Use --void-value V "
                        "to store voids as V metres",
               false;
    }
    return writer->Finish(error);
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

// What the source says of itself when it is a map's export: map type, MAT flag, and its
// nodata value as the void value. The caller's own choices stand.
ImportOptions OptionsFromSource(GDALDataset& ds, int bandIndex, const ImportOptions& given) {
    ImportOptions options = given;
    const char* type = ds.GetMetadataItem(kMapTypeItem);
    if (type == nullptr) return options;
    char* end = nullptr;
    unsigned long value = std::strtoul(type, &end, 10);
    if (!options.typeGiven && *type != '\0' && *end == '\0' && value <= UINT32_MAX) options.mapType = uint32_t(value);
    const char* mat = ds.GetMetadataItem(kMatItem);
    if (!options.matGiven && mat != nullptr) options.mat = std::strcmp(mat, "1") == 0;
    int has = 0;
    double noData = ds.GetRasterBand(bandIndex)->GetNoDataValue(&has);
    bool whole = has && noData == std::round(noData) && noData >= -32768.0 && noData <= 32767.0;
    if (whole && !options.fillVoids && !options.setVoids) {
        options.setVoids = true;
        options.voidValue = static_cast<int16_t>(noData);
    }
    return options;
}

}  // namespace

bool ImportRaster(const std::string& source, const std::string& out, const ImportOptions& given,
                  ImportReport* report, std::string* error) {
    InitializeGdal();
    QuietGdal quiet;
    *report = ImportReport();
    if (IsStreamOrDevice(source)) return *error = "cannot read " + source + ": not a regular file (a FIFO or a device)", false;
    GDALDatasetUniquePtr original(GDALDataset::Open(source.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!original) return *error = GdalError("cannot read " + source + " as a raster"), false;
    if (given.band < 1 || given.band > original->GetRasterCount()) {
        return *error = source + " has " + std::to_string(original->GetRasterCount()) + " band(s); there is no band " +
                        std::to_string(given.band),
               false;
    }
    const ImportOptions options = OptionsFromSource(*original, given.band, given);
    GDALDataset* dataset = original.get();
    GDALDatasetUniquePtr warped;
    bool warpable = false;
    std::string problem = CheckGeoreference(*dataset, source, &warpable);
    if (!problem.empty() && warpable && options.reproject) {
        warped = WarpToWgs84(dataset, options.band, options, error);
        if (!warped) return false;
        dataset = warped.get();
        report->reprojected = true;
        problem = CheckGeoreference(*dataset, source + " warped", &warpable);
    }
    if (!problem.empty()) return *error = problem, false;
    GDALDatasetUniquePtr cropped;
    if (options.crop && !CropToData(&dataset, source, options.band, &cropped, report, error)) return false;
    if (!HeaderFromDataset(*dataset, source, options, &report->header, error)) return false;

    BandSource band(dataset->GetRasterBand(options.band));
    if (GDALDataTypeIsComplex(band.band->GetRasterDataType())) {
        return *error = source + "'s band " + std::to_string(options.band) + " holds complex numbers (" +
                        GDALGetDataTypeName(band.band->GetRasterDataType()) + "), not elevations",
               false;
    }
    // One pass writes the map through a temporary; voids that are neither set nor filled
    // drop it, so they never leave a map (nor touch one) under the name.
    if (!WriteMap(band, out, options, options.fillVoids, report, error)) return false;
    if (report->voids == report->voidsSet) return true;
    if (!options.fillVoids) return *error = VoidAdvice(*report, band), false;
    return FillAndWrite(band, out, options, report, error);
}

namespace {

std::string Cropped(const ImportReport& r) {
    if (r.cropWidth == 0) return std::string();
    return "cropped to the " + std::to_string(r.cropWidth) + " x " + std::to_string(r.cropHeight) +
           " cells without voids from column " + std::to_string(r.cropColumn) + ", row " + std::to_string(r.cropRow) +
           (r.reprojected ? " of the warped raster\n" : "\n");
}

}  // namespace

std::string DescribeImport(const ImportReport& r) {
    const MapHeader& h = r.header;
    char text[1024];
    std::snprintf(text, sizeof text,
                  "size: %d x %d samples\n"
                  "origin (north-west corner): %.9f, %.9f\n"
                  "cell size: %.9g x %.9g degrees (north-south x east-west)%s\n"
                  "elevation: %d .. %d m\n"
                  "voids: %lld found, %lld filled, %lld set\n"
                  "values rounded to whole metres: %lld\n"
                  "values clamped to -32768..32767: %lld\n"
                  "%s",
                  h.width, h.height, h.originLat, h.originLon, h.cellLat, h.cellLon,
                  r.reprojected ? ", warped to WGS 84" : "", r.minimum, r.maximum, (long long)r.voids,
                  (long long)r.voidsFilled, (long long)r.voidsSet, (long long)r.rounded, (long long)r.clamped,
                  Cropped(r).c_str());
    return text;
}
