#include "maptools/import_fill.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal_alg.h>

#include "mapstore/file_io.h"
#include "maptools/gdal_raster.h"
#include "maptools/map_stream.h"

namespace mapimport {
namespace {

// The void marker of an int16 working copy. A filled value is a weighted mean of valid
// values, so it never equals this marker unless a valid value does; then the copy is made
// in floating point instead.
const int16_t kWorkingVoid = std::numeric_limits<int16_t>::min();
// A filled value depends only on valid cells within the search distance, so a band of rows
// filled with this many rows of context above and below fills as the whole raster does.
int32_t FillContextRows(double maxDistance) { return static_cast<int32_t>(std::ceil(maxDistance)) + 1; }
// Fewer rows per band than this would spend most of the fill on the context.
const int32_t kFillMinimumRows = 64;

// Rows of the source held by one working copy, and the rows of the map it gives.
struct FillBand {
    int32_t first = 0, count = 0;  // source rows in the copy
    int32_t core0 = 0, core1 = 0;  // the rows of the map taken from it
};

// The map's samples gathered into rows of blocks, whatever rows each band gives, and
// written once a row of blocks is whole.
struct BlockRowGather {
    std::vector<int16_t> rows;  // kMapBlockSide rows of the map's width
    int64_t stored = 0;         // samples tracked into the report so far
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
            } else {
                value = source.Metres(value);
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
// the map), else the band's floating-point type, so that values round only once; values
// scaled or converted to metres are held as doubles.
GDALDataType WorkingType(const BandSource& source, bool int16Allowed) {
    if (source.asInt16 && int16Allowed) return GDT_Int16;
    return source.band->GetRasterDataType() == GDT_Float32 && !source.converts ? GDT_Float32 : GDT_Float64;
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

// Fills one working copy and writes its core rows to *writer; voids left unfilled are
// counted in `pass` and, unless voids are set, drop the writer.
bool FillAndWriteBand(const BandSource& source, const ImportOptions& options, const FillBand& part,
                      const std::string& path, std::unique_ptr<MapStreamWriter>* writer, ImportReport* found,
                      ImportReport* pass, BlockRowGather* gather, std::string* error) {
    GDALDatasetUniquePtr copy =
        MakeWorkingCopy(source, part, true, path, &found->voids, &found->infinite, error);
    if (!copy) return false;
    const char* inMemory[] = {"TEMP_FILE_DRIVER=MEM", nullptr};
    if (GDALFillNodata(copy->GetRasterBand(1), nullptr, options.maxDistance, 0, 0,
                       path.empty() ? const_cast<char**>(inMemory) : nullptr, nullptr, nullptr) != CE_None) {
        return *error = GdalError("cannot fill the voids"), false;
    }
    BandSource filled(copy->GetRasterBand(1));
    int32_t width = source.band->GetXSize(), height = source.band->GetYSize();
    std::vector<double> strip(filled.asInt16 ? 0 : static_cast<size_t>(kStripRows) * width);
    for (int32_t row = part.core0; row < part.core1;) {
        int32_t row0 = row / kMapBlockSide * kMapBlockSide;
        int32_t end = std::min(height, row0 + kMapBlockSide);
        int32_t count = std::min(end, part.core1) - row;
        int16_t* out = gather->rows.data() + static_cast<size_t>(row - row0) * width;
        bool noneYet = pass->firstUnsetVoidRow < 0;
        if (!ReadRows(filled, options, row - part.first, count, out, &strip, pass, &gather->stored, error)) return false;
        if (noneYet && pass->firstUnsetVoidRow >= 0) pass->firstUnsetVoidRow += part.first;
        row += count;
        if (pass->voids > pass->voidsSet) writer->reset();
        if (row == end && *writer && !(*writer)->AppendBlockRow(row0, gather->rows.data(), error)) return false;
    }
    return true;
}

// How the raster is cut for filling: bands of rows filled in memory when a band of the
// raster's width fits the memory allowed (with at least kFillMinimumRows rows besides the
// context), else the whole raster in one copy on disk.
std::vector<FillBand> PlanFill(const BandSource& source, int64_t memoryBytes, double maxDistance, bool* onDisk) {
    const int32_t kFillContextRows = FillContextRows(maxDistance);
    int32_t width = source.band->GetXSize(), height = source.band->GetYSize();
    int64_t bytesPerCell = 2 * GDALGetDataTypeSizeBytes(WorkingType(source, true)) + 4 + 1;
    // The rows of blocks being gathered take their share too.
    int64_t bandBytes = memoryBytes - int64_t(kMapBlockSide) * width * 2;
    int64_t rowsFitting = std::max<int64_t>(bandBytes, 0) / (bytesPerCell * width) - 2 * kFillContextRows;
    int32_t core = static_cast<int32_t>(std::min<int64_t>(rowsFitting, height));
    *onDisk = core < kFillMinimumRows && core < height;
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

}  // namespace

// The whole-raster copy on disk, and the fill's own work files, go in a new folder beside
// the map, removed when done.
bool FillAndWrite(const BandSource& source, const std::string& out, const ImportOptions& options, ImportReport* report,
                  std::string* error) {
    bool onDisk = false;
    std::vector<FillBand> parts = PlanFill(source, options.fillMemoryBytes, options.maxDistance, &onDisk);
    std::string folder, path;
    if (onDisk && !CreateFolderBeside(out, &folder, error)) return false;
    if (onDisk) path = (std::filesystem::path(folder) / "voids.tif").string();
    ImportReport found, pass = *report;  // the header, the warp and the crop
    pass.voids = pass.infinite = pass.voidsSet = pass.rounded = pass.clamped = pass.moved = 0;
    pass.firstUnsetVoidRow = -1;
    auto writer = std::make_unique<MapStreamWriter>();
    bool ok = writer->Begin(out, report->header, error);
    BlockRowGather gather;
    gather.rows.resize(static_cast<size_t>(kMapBlockSide) * source.band->GetXSize());
    if (onDisk) CPLSetThreadLocalConfigOption("CPL_TMPDIR", folder.c_str());
    // Without a void value the first void left unfilled ends the work: nothing will be written.
    for (size_t i = 0; ok && writer != nullptr && i < parts.size(); ++i) {
        ok = FillAndWriteBand(source, options, parts[i], path, &writer, &found, &pass, &gather, error);
        if (ok && options.progress != nullptr && !options.progress(double(i + 1) / parts.size(), nullptr, options.progressData)) {
            ok = false, *error = "interrupted";
        }
    }
    if (onDisk) CPLSetThreadLocalConfigOption("CPL_TMPDIR", nullptr);
    if (onDisk) VSIUnlink(path.c_str()), RemoveFolder(folder);
    if (!ok) return false;
    if (writer == nullptr) {
        return *error = CPLSPrintf("voids lie more than %g cells from valid data and stay unfilled, the first in row %d; "
                                   "nothing was written. Use --max-distance N to fill further, or add --void-value V "
                                   "to keep them as voids stored as V metres",
                                   options.maxDistance, pass.firstUnsetVoidRow),
               false;
    }
    int64_t unfilled = pass.voids;
    *report = pass;
    report->voids = found.voids;
    report->infinite = found.infinite;
    report->voidsFilled = found.voids - unfilled;
    return writer->Finish(error);
}

}  // namespace mapimport
