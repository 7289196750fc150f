#include "maptools/gdal_import.h"

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

#include "mapstore/file_io.h"
#include "maptools/gdal_raster.h"
#include "maptools/map_stream.h"
#include "maptools/sidecar_json.h"
#include "maptools/import_fill.h"
#include "maptools/import_georef.h"
#include "maptools/import_source.h"

namespace {

using namespace mapimport;

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
    // A western edge a hair past -180 (cell sizes added up) is -180.
    header->originLon = gt[0] < -180.0 && gt[0] >= -180.0 - kLongitudeSlack ? -180.0 : gt[0];
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
    return std::to_string(report.voids) + " cells are voids (" + std::string(marker) + why + "), the first in row " +
           std::to_string(report.firstUnsetVoidRow) +
           "; nothing was written. Use --fill-voids to fill them from their neighbours, --void-value V "
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

// One of the items a map's export writes, wherever the format keeps dataset metadata
// (netCDF as global attributes named after GDAL).
const char* MapItem(GDALDataset& ds, const char* name) {
    const char* value = ds.GetMetadataItem(name);
    return value != nullptr ? value : ds.GetMetadataItem((std::string("NC_GLOBAL#GDAL_") + name).c_str());
}

// What the source says of itself when it is a map's export: map type, MAT flag, and its
// nodata value as the void value. The caller's own choices stand.
ImportOptions OptionsFromSource(GDALDataset& ds, int bandIndex, const ImportOptions& given) {
    ImportOptions options = given;
    const char* type = MapItem(ds, kMapTypeItem);
    if (type == nullptr) return options;
    char* end = nullptr;
    unsigned long value = std::strtoul(type, &end, 10);
    if (!options.typeGiven && *type != '\0' && *end == '\0' && value <= UINT32_MAX) options.mapType = uint32_t(value);
    const char* mat = MapItem(ds, kMatItem);
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

// A nodata value declared by a raster that turns out to hold no void: the map keeps it as
// its void value when it is one (the import is refused should a void turn up after all,
// so no height ever holds it); otherwise the import says it is dropped.
void KeepNoDataDeclaration(const BandSource& band, ImportOptions* options, ImportReport* report) {
    if (!band.hasNoData || options->setVoids || options->fillVoids) return;
    if (band.noDataIsInt16 && !band.converts) {
        report->header.hasVoidValue = 1;
        report->header.voidValue = options->voidValue = static_cast<int16_t>(band.noData);
        options->keepsVoidValue = true;  // heights rounding onto it move off it
        return;
    }
    report->notes.push_back(CPLSPrintf("the nodata value %.10g is not kept: a map's void value is a whole number of "
                                       "metres -32768..32767", band.noData));
}

// What the import does to the values on their way to metres, and what of the raster's
// description the map has no room for.
void DescribeValues(const BandSource& band, GDALDataset& ds, const ImportOptions& options, ImportReport* report) {
    if (band.scale != 1.0 || band.offset != 0.0) {
        report->notes.push_back(CPLSPrintf("scale %.10g and offset %.10g applied", band.scale, band.offset));
    }
    if (band.metresPerUnit != 1.0) {
        report->notes.push_back(CPLSPrintf("heights in %s converted to metres (x %.10g)", band.Unit().c_str(),
                                           band.metresPerUnit));
    }
    const OGRSpatialReference* srs = ds.GetSpatialRef();
    if (srs != nullptr && srs->IsCompound()) {
        const char* vertical = srs->GetAttrValue("COMPD_CS|VERT_CS");
        report->notes.push_back(std::string("the vertical coordinate system ") +
                                (vertical != nullptr ? vertical : "of the raster") +
                                " is not kept: a map has no room for one (heights are taken as they are)");
    }
    if (options.setVoids && options.fillVoids) {
        report->notes.push_back("voids more than " + CPLString().Printf("%g", options.maxDistance) +
                                " cells from valid data stay voids");
    }
}

}  // namespace

namespace {

// The caller's progress, one step after another: each step reports 0..1 and the caller
// sees it mapped onto [from, to], so the bar only rises.
struct ProgressSteps {
    ProgressFunc progress = nullptr;
    void* data = nullptr;
    double from = 0.0, to = 1.0, reached = 0.0;

    static int Report(double done, const char* message, void* self) {
        auto* steps = static_cast<ProgressSteps*>(self);
        steps->reached = steps->from + (steps->to - steps->from) * done;
        return steps->progress(steps->reached, message, steps->data);
    }
    // Options whose progress goes through these steps.
    ImportOptions Through(ImportOptions options) {
        if (progress == nullptr) return options;
        options.progress = Report;
        options.progressData = this;
        return options;
    }
};

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
    ProgressSteps steps{given.progress, given.progressData};
    ImportOptions options = steps.Through(OptionsFromSource(*original, given.band, given));
    GDALDataset* dataset = original.get();
    WarpedCopy warped;
    bool warpable = false;
    std::string problem = CheckGeoreference(*dataset, source, given.band, &warpable);
    if (!problem.empty() && warpable && options.reproject) {
        steps.to = 0.5;  // the warp, then the import
        if (!WarpToWgs84(dataset, options.band, options, out, &warped, error)) return false;
        steps.from = steps.reached, steps.to = 1.0;
        dataset = warped.dataset.get();
        report->reprojected = true;
        problem = CheckGeoreference(*dataset, source + " warped", given.band, &warpable);
    }
    if (!problem.empty()) return *error = problem, false;
    GDALDatasetUniquePtr cropped;
    if (options.crop && !CropToData(&dataset, source, options.band, &cropped, report, error)) return false;
    if (!HeaderFromDataset(*dataset, source, options, &report->header, error)) return false;
    KeepNoDataDeclaration(BandSource(dataset->GetRasterBand(options.band), true), &options, report);

    BandSource band(dataset->GetRasterBand(options.band), true);
    if (GDALDataTypeIsComplex(band.band->GetRasterDataType())) {
        return *error = source + "'s band " + std::to_string(options.band) + " holds complex numbers (" +
                        GDALGetDataTypeName(band.band->GetRasterDataType()) + "), not elevations",
               false;
    }
    double metres = 1.0;
    if (!MetresPerUnit(band.Unit(), &metres)) {
        return *error = source + "'s band " + std::to_string(options.band) + " gives heights in \"" + band.Unit() +
                        "\", a unit this tool does not know (it takes metres, feet and US survey feet); "
                        "set the band's unit with: gdal_edit.py -units m " + source,
               false;
    }
    DescribeValues(band, *dataset, options, report);
    // One pass writes the map through a temporary; voids that are neither set nor filled
    // drop it, so they never leave a map (nor touch one) under the name. A fill's first
    // pass only looks for a void: the fill decides what each becomes.
    ImportOptions firstPass = options;
    if (options.fillVoids) firstPass.setVoids = false;
    if (!WriteMap(band, out, firstPass, options.fillVoids, report, error)) return false;
    if (report->voids == report->voidsSet) return true;
    if (!options.fillVoids) return *error = VoidAdvice(*report, band), false;
    steps.from = steps.reached;  // the fill goes on from where the first pass stopped
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
    std::string elevation = r.voids - r.voidsFilled < int64_t(h.width) * h.height
                                ? CPLSPrintf("%d .. %d m", r.minimum, r.maximum)
                                : std::string("none (every cell is a void)");
    std::snprintf(text, sizeof text,
                  "size: %d x %d samples\n"
                  "origin (north-west corner): %.9f, %.9f (longitude, latitude)\n"
                  "cell size: %.9g x %.9g degrees (east-west x north-south)%s\n"
                  "elevation: %s, voids left out\n"
                  "voids: %lld found, %lld filled, %lld set\n"
                  "values rounded to whole metres: %lld\n"
                  "values clamped to -32768..32767: %lld\n",
                  h.width, h.height, h.originLon, h.originLat, h.cellLon, h.cellLat,
                  r.reprojected ? ", warped to WGS 84" : "", elevation.c_str(), (long long)r.voids,
                  (long long)r.voidsFilled, (long long)r.voidsSet, (long long)r.rounded, (long long)r.clamped);
    std::string all = text;
    if (r.moved > 0) {
        all += CPLSPrintf("heights equal to the void value %d, moved 1 m off it: %lld\n", h.voidValue, (long long)r.moved);
    }
    if (h.hasVoidValue) all += CPLSPrintf("void value: %d\n", h.voidValue);
    for (const std::string& note : r.notes) all += note + "\n";
    return all + Cropped(r);
}
