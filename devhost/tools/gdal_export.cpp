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

namespace {

const char* const kGeoTiffCreation[] = {"TILED=YES", "COMPRESS=DEFLATE", "PREDICTOR=2", "BIGTIFF=IF_SAFER", nullptr};

bool StoresInt16(GDALDriver* driver) {
    const char* types = driver->GetMetadataItem(GDAL_DMD_CREATIONDATATYPES);
    return types == nullptr || std::strstr(types, "Int16") != nullptr;
}

// Streams the map into a new one-band int16 raster made by `driver` at `path`.
bool WriteRaster(const MapFileReader& reader, GDALDriver* driver, const std::string& path, std::string* error) {
    const MapHeader& h = reader.header();
    bool geoTiff = EQUAL(driver->GetDescription(), "GTiff");
    GDALDatasetUniquePtr ds(driver->Create(path.c_str(), h.width, h.height, 1, GDT_Int16,
                                           geoTiff ? const_cast<char**>(kGeoTiffCreation) : nullptr));
    if (!ds) return *error = GdalError("cannot create " + path), false;
    double transform[6];
    MapGeoTransform(h, transform);
    OGRSpatialReference srs = Wgs84LonLat();
    if (ds->SetGeoTransform(transform) != CE_None || ds->SetSpatialRef(&srs) != CE_None) {
        return *error = GdalError("cannot store the georeference in " + path), false;
    }
    GDALRasterBand* band = ds->GetRasterBand(1);
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * h.width);
    for (int32_t row0 = 0; row0 < h.height; row0 += kMapBlockSide) {
        int32_t count = BlockRowHeight(h, row0);
        if (!ReadBlockRow(reader, row0, rows.data(), error)) return false;
        if (band->RasterIO(GF_Write, 0, row0, h.width, count, rows.data(), h.width, count, GDT_Int16, 0, 0,
                           nullptr) != CE_None) {
            return *error = GdalError("cannot write to " + path), false;
        }
    }
    CPLErrorReset();
    ds.reset();
    if (CPLGetLastErrorType() >= CE_Failure) return *error = GdalError("cannot finish " + path), false;
    return true;
}

// For drivers that only copy: a temporary GeoTIFF first, then the driver's copy of it.
bool CopyRaster(const MapFileReader& reader, GDALDriver* driver, const std::string& out, std::string* error) {
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    std::string staging = out + ".export.tif";
    bool ok = WriteRaster(reader, gtiff, staging, error);
    if (ok) {
        GDALDatasetUniquePtr source(GDALDataset::Open(staging.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
        GDALDatasetUniquePtr copy(source ? driver->CreateCopy(out.c_str(), source.get(), TRUE, nullptr, nullptr, nullptr)
                                         : nullptr);
        if (!copy) *error = GdalError("cannot write " + out + " as " + driver->GetDescription());
        ok = copy != nullptr;
    }
    gtiff->Delete(staging.c_str());
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

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* error) {
    std::string temporary = path + ".part";
    std::FILE* file = OpenFileUtf8(temporary, "wb");
    bool ok = file != nullptr && std::fwrite(data, 1, size, file) == size;
    ok = (file != nullptr && std::fclose(file) == 0) && ok;
    if (ok && ReplaceFileAtomically(temporary, path)) return true;
    std::remove(temporary.c_str());
    return *error = "cannot write " + path, false;
}

// The grid, little-endian whatever the host, through a temporary file and a rename.
bool WriteRawGrid(const MapFileReader& reader, const std::string& out, std::string* error) {
    const MapHeader& h = reader.header();
    std::string temporary = out + ".part";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFileUtf8(temporary, "wb"), std::fclose);
    if (!file) return *error = "cannot create " + temporary, false;
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * h.width);
    bool ok = true;
    for (int32_t row0 = 0; ok && row0 < h.height; row0 += kMapBlockSide) {
        size_t count = static_cast<size_t>(BlockRowHeight(h, row0)) * h.width;
        ok = ReadBlockRow(reader, row0, rows.data(), error);
        for (size_t i = 0; ok && i < count; ++i) CPL_LSBPTR16(&rows[i]);
        if (ok && std::fwrite(rows.data(), sizeof(int16_t), count, file.get()) != count) {
            ok = false;
            *error = "cannot write " + temporary;
        }
    }
    ok = std::fclose(file.release()) == 0 && ok;
    if (ok && ReplaceFileAtomically(temporary, out)) return true;
    std::remove(temporary.c_str());
    if (ok) *error = "cannot write " + out;
    return false;
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
    if (format == kRawFormat) {
        std::string sidecar = RawSidecarPath(out);
        if (sidecar == out) return *error = "the raw grid needs a name other than its sidecar's (" + sidecar + ")", false;
        std::string text = SidecarText(reader.header());
        if (!WriteRawGrid(reader, out, error) || !WriteWholeFile(sidecar, text.data(), text.size(), error)) return false;
        *written = {out, sidecar};
        return true;
    }
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(format.c_str());
    if (driver == nullptr || driver->GetMetadataItem(GDAL_DCAP_RASTER) == nullptr) {
        return *error = "no GDAL raster driver is called " + format + " (gdalinfo --formats lists them)", false;
    }
    if (!StoresInt16(driver)) return *error = format + " cannot store int16 samples", false;
    QuietGdal quiet;
    bool ok = driver->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr ? WriteRaster(reader, driver, out, error)
                                                                   : CopyRaster(reader, driver, out, error);
    if (ok) *written = {out};
    return ok;
}
