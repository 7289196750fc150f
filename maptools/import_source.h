// The import's reading of a raster band: what marks its voids, and its rows converted to
// stored samples (whole metres, rounded half away from zero, clamped to int16).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gdal_priv.h>

#include "maptools/gdal_import.h"

namespace mapimport {

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

// Counts a stored sample into the report's minimum and maximum; *stored counts them.
void Track(int16_t value, ImportReport* report, int64_t* stored);
// What a void becomes: the void value when voids are set (counted as stored), else 0.
int16_t VoidSample(bool infinite, const ImportOptions& options, ImportReport* report, int64_t* stored);
// Reads `count` rows from row0 into `out` as stored samples. Int16-valued bands are read
// straight into `out` and only their voids are touched; others go through doubles in
// `strip` (kStripRows rows of the band's width).
bool ReadRows(const BandSource& source, const ImportOptions& options, int32_t row0, int32_t count, int16_t* out,
              std::vector<double>* strip, ImportReport* report, int64_t* stored, std::string* error);

}  // namespace mapimport
