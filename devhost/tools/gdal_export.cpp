#include "devhost/tools/gdal_export.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <cpl_port.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "devhost/store/file_io.h"
#include "devhost/store/map_file.h"
#include "devhost/tools/gdal_raster.h"
#include "devhost/tools/map_stream.h"
#include "devhost/tools/staged_output.h"

namespace {

// Less room than this left beside a failed export means it failed for want of room.
const unsigned long long kFullDiskMargin = 1ull << 20;

const char* const kGeoTiffCreation[] = {"TILED=YES", "COMPRESS=DEFLATE", "PREDICTOR=2", "BIGTIFF=IF_SAFER", nullptr};

bool StoresInt16(GDALDriver* driver) {
    const char* types = driver->GetMetadataItem(GDAL_DMD_CREATIONDATATYPES);
    return types == nullptr || std::strstr(types, "Int16") != nullptr;
}

// The map type and MAT flag as dataset items, metres as the band's unit, and the void
// value as the band's nodata value, so that voids never read as heights. Drivers that
// keep no metadata drop the items quietly; only a void value they refuse fails.
bool StoreMapMetadata(const MapHeader& h, GDALDataset* ds, GDALRasterBand* band) {
    ds->SetMetadataItem(kMapTypeItem, std::to_string(h.mapType).c_str());
    ds->SetMetadataItem(kMatItem, h.mat != 0 ? "1" : "0");
    band->SetUnitType("m");
    return !h.hasVoidValue || band->SetNoDataValue(h.voidValue) == CE_None;
}

// Streams the map into a new one-band int16 raster made by `driver` at `path`.
bool WriteRaster(const MapFileReader& reader, GDALDriver* driver, const std::string& path, std::string* error) {
    const MapHeader& h = reader.header();
    bool geoTiff = EQUAL(driver->GetDescription(), "GTiff");
    GDALDatasetUniquePtr ds(driver->Create(path.c_str(), h.width, h.height, 1, GDT_Int16,
                                           geoTiff ? const_cast<char**>(kGeoTiffCreation) : nullptr));
    if (!ds) return *error = GdalError("cannot create the map's raster"), false;
    double transform[6];
    MapGeoTransform(h, transform);
    OGRSpatialReference srs = Wgs84LonLat();
    if (ds->SetGeoTransform(transform) != CE_None || ds->SetSpatialRef(&srs) != CE_None) {
        return *error = GdalError("cannot store the georeference"), false;
    }
    GDALRasterBand* band = ds->GetRasterBand(1);
    if (!StoreMapMetadata(h, ds.get(), band)) return *error = GdalError("cannot store the map's void value"), false;
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * h.width);
    for (int32_t row0 = 0; row0 < h.height; row0 += kMapBlockSide) {
        int32_t count = BlockRowHeight(h, row0);
        if (!ReadBlockRow(reader, row0, rows.data(), error)) return false;
        if (band->RasterIO(GF_Write, 0, row0, h.width, count, rows.data(), h.width, count, GDT_Int16, 0, 0,
                           nullptr) != CE_None) {
            return *error = GdalError("cannot write rows " + std::to_string(row0)), false;
        }
    }
    CPLErrorReset();
    ds.reset();
    if (CPLGetLastErrorType() >= CE_Failure) return *error = GdalError("cannot finish the raster"), false;
    return true;
}

// For drivers that only copy: a GeoTIFF first, then the driver's copy of it; both are
// written in the staging folder, and the GeoTIFF is removed there.
bool CopyRaster(const MapFileReader& reader, GDALDriver* driver, const std::string& staged, std::string* error) {
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    std::string source = staged + ".source.tif";
    bool ok = WriteRaster(reader, gtiff, source, error);
    if (ok) {
        GDALDatasetUniquePtr input(GDALDataset::Open(source.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
        GDALDatasetUniquePtr copy(input ? driver->CreateCopy(staged.c_str(), input.get(), TRUE, nullptr, nullptr, nullptr)
                                        : nullptr);
        if (!copy) *error = GdalError(std::string("cannot write the map as ") + driver->GetDescription());
        ok = copy != nullptr;
        if (ok) {
            CPLErrorReset();
            copy.reset();
            ok = CPLGetLastErrorType() < CE_Failure;
            if (!ok) *error = GdalError("cannot finish the copy");
        }
    }
    gtiff->Delete(source.c_str());
    return ok;
}

std::string SidecarText(const MapHeader& h) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "{\n  \"width\": %d,\n  \"height\": %d,\n  \"origin_lat\": %.17g,\n  \"origin_lon\": %.17g,\n"
                  "  \"cell_size_deg_x\": %.17g,\n  \"cell_size_deg_y\": %.17g,\n"
                  "  \"format\": \"int16 little-endian, metres, row-major, row 0 = north, col 0 = west; origin is "
                  "the north-west corner of the north-west cell\"\n}\n",
                  h.width, h.height, h.originLat, h.originLon, h.cellLon, h.cellLat);
    return text;
}

using FileCloser = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

bool CloseWritten(FileCloser* file, bool ok, const std::string& path, std::string* error) {
    bool flushed = ok && FlushToDisk(file->get());
    if (ok && !flushed) *error = "cannot write " + path + ": " + LastFileErrorText();
    bool closed = std::fclose(file->release()) == 0;
    if (flushed && !closed) *error = "cannot write " + path + ": " + LastFileErrorText();
    return flushed && closed;
}

bool WriteWholeFile(const std::string& path, const std::string& text, std::string* error) {
    FileCloser file(OpenFileUtf8(path, "wb"), std::fclose);
    if (!file) return *error = "cannot create " + path + ": " + LastFileErrorText(), false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (!ok) *error = "cannot write " + path + ": " + LastFileErrorText();
    return CloseWritten(&file, ok, path, error);
}

// The grid, little-endian whatever the host.
bool WriteRawGrid(const MapFileReader& reader, const std::string& path, std::string* error) {
    const MapHeader& h = reader.header();
    FileCloser file(OpenFileUtf8(path, "wb"), std::fclose);
    if (!file) return *error = "cannot create " + path + ": " + LastFileErrorText(), false;
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * h.width);
    bool ok = true;
    for (int32_t row0 = 0; ok && row0 < h.height; row0 += kMapBlockSide) {
        size_t count = static_cast<size_t>(BlockRowHeight(h, row0)) * h.width;
        ok = ReadBlockRow(reader, row0, rows.data(), error);
        for (size_t i = 0; ok && i < count; ++i) CPL_LSBPTR16(&rows[i]);
        if (ok && std::fwrite(rows.data(), sizeof(int16_t), count, file.get()) != count) {
            ok = false;
            *error = "cannot write " + path + ": " + LastFileErrorText();
        }
    }
    return CloseWritten(&file, ok, path, error);
}

}  // namespace

std::string RawSidecarPath(const std::string& rawPath) {
    size_t slash = rawPath.find_last_of("/\\");
    size_t dot = rawPath.find_last_of('.');
    bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? rawPath.substr(0, dot) : rawPath) + ".json";
}

bool ExportMap(const std::string& in, const std::string& out, const std::string& format,
               std::vector<std::string>* written, std::vector<std::string>* warnings, std::string* error) {
    InitializeGdal();
    MapFileReader reader;
    if (!reader.OpenForOnePass(in, error)) return false;
    *warnings = reader.warnings();
    GDALDriver* driver = nullptr;
    if (format != kRawFormat) {
        driver = GetGDALDriverManager()->GetDriverByName(format.c_str());
        if (driver == nullptr || driver->GetMetadataItem(GDAL_DCAP_RASTER) == nullptr) {
            return *error = "no GDAL raster driver is called " + format + " (gdalinfo --formats lists them)", false;
        }
        if (!StoresInt16(driver)) return *error = format + " cannot store int16 samples", false;
    }
    std::string sidecar = RawSidecarPath(out);
    if (driver == nullptr && sidecar == out) {
        return *error = "the raw grid needs a name other than its sidecar's (" + sidecar + ")", false;
    }
    StagedOutput output;
    if (!output.Begin(out, error)) return false;
    const std::string staged = output.StagingPath(out);
    bool ok = false;
    if (driver == nullptr) {
        ok = WriteRawGrid(reader, staged, error) &&
             WriteWholeFile(output.StagingPath(sidecar), SidecarText(reader.header()), error);
    } else {
        QuietGdal quiet;
        ok = driver->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr ? WriteRaster(reader, driver, staged, error)
                                                                  : CopyRaster(reader, driver, staged, error);
    }
    if (!ok) {
        std::string cause = output.FailureCause(kFullDiskMargin);
        if (!cause.empty() && error->find(cause) == std::string::npos) *error += " (" + cause + ")";
        return *error += "; " + out + " was left as it was", false;
    }
    return output.Commit(written, error);
}
