#include "maptools/gdal_export.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <cpl_vsi.h>
#include <memory>

#include <cpl_port.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "mapstore/file_io.h"
#include "mapstore/map_file.h"
#include "maptools/gdal_raster.h"
#include "maptools/map_stream.h"
#include "maptools/staged_output.h"

namespace {

// Less room than this left beside a failed export means it failed for want of room.
const unsigned long long kFullDiskMargin = 1ull << 20;

// The formats the tool writes, each checked to give back every height and void of a map
// (tests/native/map_export_formats_test.cpp exports a map with voids through each and
// imports it). Others are refused unless the caller accepts what they may lose.
const ExportFormat kFormats[] = {
    // driver, through a copy, keeps voids, keeps the void value, creation options
    {"GTiff", false, true, true, "TILED=YES COMPRESS=DEFLATE PREDICTOR=2 BIGTIFF=IF_SAFER"},
    {"COG", true, true, true, ""},
    {"HFA", false, true, true, ""},
    {"ENVI", false, true, true, ""},
    {"EHdr", false, true, true, ""},
    {"AAIGrid", true, true, true, ""},
    {"SAGA", false, true, true, ""},
    {"SRTMHGT", true, true, true, ""},
    {"BT", false, true, true, ""},
    {"netCDF", false, true, true, ""},
    {"PCIDSK", false, true, true, ""},
    {"RRASTER", false, true, false, ""},
    {"GPKG", true, true, true, ""},
    // Surfer grids blank voids with their own value, which the driver's copy puts in.
    {"GSAG", true, true, false, ""},
    {"GSBG", true, true, false, ""},
    {"GS7BG", true, true, false, ""},
    // Lossless JPEG 2000 (the driver's default is lossy).
    {"JP2OpenJPEG", true, true, true, "REVERSIBLE=YES QUALITY=100"},
    // The format's own void marker is -32767.
    {"USGSDEM", true, true, false, ""},
    // Every cell becomes a line: voids are written as numbers.
    {"XYZ", true, false, false, ""},
};

// The driver's list names Int16 itself: "UInt16" holds the text but not the type.
bool StoresInt16(GDALDriver* driver) {
    const char* types = driver->GetMetadataItem(GDAL_DMD_CREATIONDATATYPES);
    if (types == nullptr) return true;
    CPLStringList names(CSLTokenizeString2(types, " ", 0));
    return names.FindString("Int16") >= 0;
}

std::string Lowercase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The raster drivers that can write and list `extension` among their extensions.
std::vector<std::string> DriversForExtension(const std::string& extension) {
    std::vector<std::string> found;
    GDALDriverManager* manager = GetGDALDriverManager();
    for (int i = 0; i < manager->GetDriverCount(); ++i) {
        GDALDriver* driver = manager->GetDriver(i);
        if (driver->GetMetadataItem(GDAL_DCAP_RASTER) == nullptr) continue;
        if (driver->GetMetadataItem(GDAL_DCAP_CREATE) == nullptr && driver->GetMetadataItem(GDAL_DCAP_CREATECOPY) == nullptr) {
            continue;
        }
        const char* list = driver->GetMetadataItem(GDAL_DMD_EXTENSIONS);
        if (list == nullptr) list = driver->GetMetadataItem(GDAL_DMD_EXTENSION);
        if (list == nullptr) continue;
        CPLStringList extensions(CSLTokenizeString2(list, " ", 0));
        for (int e = 0; e < extensions.size(); ++e) {
            if (Lowercase(extensions[e]) == extension) {
                found.push_back(driver->GetDescription());
                break;
            }
        }
    }
    // A cloud-optimised GeoTIFF is still a GeoTIFF; GDAL's utilities choose GTiff too.
    if (found.size() == 2 && found[0] == "GTiff" && found[1] == "COG") found.pop_back();
    return found;
}

// The driver's creation options: ours, with the caller's taking precedence.
CPLStringList CreationOptions(GDALDriver* driver, const std::vector<std::string>& given) {
    CPLStringList options;
    const ExportFormat* format = FindExportFormat(driver->GetDescription());
    if (format != nullptr) options.Assign(CSLTokenizeString2(format->creation, " ", 0), TRUE);
    for (const std::string& option : given) {
        size_t eq = option.find('=');
        options.SetNameValue(option.substr(0, eq).c_str(), option.substr(eq + 1).c_str());
    }
    return options;
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

// What one export writes with: the map, the caller's options, and the share of the
// progress the current step covers.
struct ExportJob {
    const MapFileReader& reader;
    const ExportOptions& options;
    double progressFrom = 0.0;
    double progressSpan = 1.0;

    bool Progress(double done) const {
        return options.progress == nullptr || options.progress(progressFrom + progressSpan * done, nullptr, options.progressData);
    }
};

int CPL_STDCALL ScaledProgress(double done, const char*, void* data) {
    return static_cast<const ExportJob*>(data)->Progress(done) ? TRUE : FALSE;
}

// Streams the map into a new one-band int16 raster made by `driver` at `path`.
bool WriteRaster(const ExportJob& job, GDALDriver* driver, const std::string& path, std::string* error) {
    const MapHeader& h = job.reader.header();
    CPLStringList creation = CreationOptions(driver, job.options.creationOptions);
    GDALDatasetUniquePtr ds(driver->Create(path.c_str(), h.width, h.height, 1, GDT_Int16, creation.List()));
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
        if (!ReadBlockRow(job.reader, row0, rows.data(), error)) return false;
        if (band->RasterIO(GF_Write, 0, row0, h.width, count, rows.data(), h.width, count, GDT_Int16, 0, 0,
                           nullptr) != CE_None) {
            return *error = GdalError("cannot write rows " + std::to_string(row0)), false;
        }
        if (!job.Progress(double(row0 + count) / h.height)) return *error = "interrupted", false;
    }
    CPLErrorReset();
    ds.reset();
    if (CPLGetLastErrorType() >= CE_Failure) return *error = GdalError("cannot finish the raster"), false;
    return true;
}

// For drivers that only copy: a plain tiled GeoTIFF first (uncompressed: it is read once
// and removed), then the driver's copy of it; both are written in the staging folder.
bool CopyRaster(const ExportJob& job, GDALDriver* driver, const std::string& staged, std::string* error) {
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    std::string source = staged + ".source.tif";
    ExportOptions plain;
    plain.format = kDefaultExportFormat;
    plain.creationOptions = {"COMPRESS=NONE"};
    plain.progress = job.options.progress;
    plain.progressData = job.options.progressData;
    ExportJob first{job.reader, plain, 0.0, 0.3};
    bool ok = WriteRaster(first, gtiff, source, error);
    if (ok) {
        ExportJob second{job.reader, job.options, 0.3, 0.7};
        CPLStringList creation = CreationOptions(driver, job.options.creationOptions);
        GDALDatasetUniquePtr input(GDALDataset::Open(source.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
        GDALDatasetUniquePtr copy(input ? driver->CreateCopy(staged.c_str(), input.get(), TRUE, creation.List(),
                                                             ScaledProgress, &second)
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

bool ChooseExportFormat(const std::string& out, const std::string& named, std::string* format, std::string* error) {
    if (!named.empty()) return *format = named, true;
    size_t slash = out.find_last_of("/\\");
    size_t dot = out.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == out.size()) {
        return *error = out + " has no extension to tell its format by; name one with --format F", false;
    }
    std::string extension = Lowercase(out.substr(dot + 1));
    if (extension == kRawFormat) return *format = kRawFormat, true;
    InitializeGdal();
    std::vector<std::string> drivers = DriversForExtension(extension);
    if (drivers.size() == 1) return *format = drivers[0], true;
    if (drivers.empty()) {
        return *error = "no GDAL driver writes ." + extension + " files; name one with --format F (gdalinfo --formats "
                        "lists them)", false;
    }
    std::string list;
    for (const std::string& d : drivers) list += (list.empty() ? "" : ", ") + d;
    return *error = "." + extension + " files are written by several GDAL drivers (" + list +
                    "); choose one with --format F", false;
}

// The formats of the table, those that keep voids only when `voidsOnly`.
std::string FormatList(bool voidsOnly) {
    std::string list;
    for (const ExportFormat& f : kFormats) {
        if (!voidsOnly || f.keepsVoids) list += (list.empty() ? "" : ", ") + std::string(f.driver);
    }
    return list;
}

// The driver called `format`, when it can write the map's int16 samples (and voids, when
// it has them) without loss, or the caller accepts loss; null with the reason otherwise.
GDALDriver* ExportDriver(const std::string& format, bool acceptLoss, bool hasVoids, int16_t voidValue,
                         std::string* error) {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(format.c_str());
    if (driver == nullptr || driver->GetMetadataItem(GDAL_DCAP_RASTER) == nullptr) {
        return *error = "no GDAL raster driver is called " + format + " (gdalinfo --formats lists them)", nullptr;
    }
    if (driver->GetMetadataItem(GDAL_DCAP_CREATE) == nullptr && driver->GetMetadataItem(GDAL_DCAP_CREATECOPY) == nullptr) {
        return *error = format + " only reads rasters; choose a format that writes them, such as GTiff", nullptr;
    }
    if (!StoresInt16(driver)) {
        const char* types = driver->GetMetadataItem(GDAL_DMD_CREATIONDATATYPES);
        return *error = format + " cannot store signed 16-bit samples (it stores " + types +
                        "), and a map's heights are int16; choose a format that does, such as GTiff, AAIGrid or ENVI",
               nullptr;
    }
    if (acceptLoss) return driver;
    const ExportFormat* known = FindExportFormat(driver->GetDescription());
    if (known == nullptr) {
        return *error = format + " is not among the formats this tool has checked to keep every height and void (" +
                        FormatList(false) + "); pass --accept-loss to write it anyway",
               nullptr;
    }
    if (!known->keepsVoids && hasVoids) {
        return *error = format + " cannot keep voids: they would be written as heights of " + std::to_string(voidValue) +
                        " m. Choose a format that keeps them, such as GTiff (" + FormatList(true) +
                        "), or pass --accept-loss",
               nullptr;
    }
    return driver;
}

const ExportFormat* FindExportFormat(const std::string& driver) {
    for (const ExportFormat& f : kFormats) {
        if (EQUAL(f.driver, driver.c_str())) return &f;
    }
    return nullptr;
}

std::vector<std::string> ExportFormatNames() {
    std::vector<std::string> names;
    for (const ExportFormat& f : kFormats) names.push_back(f.driver);
    return names;
}

bool ExportMap(const std::string& in, const std::string& out, const std::string& format,
               std::vector<std::string>* written, std::vector<std::string>* warnings, std::string* error) {
    ExportOptions options;
    options.format = format;
    return ExportMap(in, out, options, written, warnings, error);
}

bool ExportMap(const std::string& in, const std::string& out, const ExportOptions& options,
               std::vector<std::string>* written, std::vector<std::string>* warnings, std::string* error) {
    InitializeGdal();
    std::string format;
    if (!ChooseExportFormat(out, options.format, &format, error)) return false;
    MapFileReader reader;
    if (!reader.OpenForOnePass(in, error)) return false;
    *warnings = reader.warnings();
    if (reader.VoidValueUnreadable()) {
        return *error = in + ": the map's void value cannot be read, so its voids would be exported as heights. " +
                        out + " was left as it was; rebuild the map with recover --void-value V (or --no-void-value)",
               false;
    }
    const MapHeader& header = reader.header();
    GDALDriver* driver = nullptr;
    if (format != kRawFormat &&
        (driver = ExportDriver(format, options.acceptLoss, header.hasVoidValue != 0, header.voidValue, error)) == nullptr) {
        return false;
    }
    std::string sidecar = RawSidecarPath(out);
    if (driver == nullptr && sidecar == out) {
        return *error = "the raw grid needs a name other than its sidecar's (" + sidecar + ")", false;
    }
    StagedOutput output;
    if (!output.Begin(out, error)) return false;
    const std::string staged = output.StagingPath(out);
    const ExportJob job{reader, options};
    bool ok = false;
    if (driver == nullptr) {
        ok = WriteRawGrid(reader, staged, error) &&
             WriteWholeFile(output.StagingPath(sidecar), SidecarText(reader.header()), error);
    } else {
        // GDAL's warnings (creation options the driver does not know, ...) reach the caller.
        GdalWarnings collect(warnings);
        const ExportFormat* known = FindExportFormat(driver->GetDescription());
        bool copy = driver->GetMetadataItem(GDAL_DCAP_CREATE) == nullptr || (known != nullptr && known->copy);
        ok = copy ? CopyRaster(job, driver, staged, error) : WriteRaster(job, driver, staged, error);
        VSIStatBufL stat;
        if (ok && VSIStatL(staged.c_str(), &stat) != 0) {
            ok = false;
            *error = format + " wrote no file under the name given (it keeps rasters elsewhere, such as in memory); "
                              "choose a format that writes a file, such as GTiff";
        }
    }
    if (!ok) {
        std::string cause = output.FailureCause(kFullDiskMargin);
        if (!cause.empty() && error->find(cause) == std::string::npos) *error += " (" + cause + ")";
        return *error += "; " + out + " was left as it was", false;
    }
    job.Progress(1.0);
    return output.Commit(written, error);
}
