// The import's reading of a raster band: what marks its voids, how its values become
// metres (the band's scale, offset and vertical unit), and its rows converted to stored
// samples (whole metres, rounded half away from zero, clamped to int16).
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

// Metres per unit of a band's vertical unit ("" and the spellings of metre give 1, the
// foot and the US survey foot theirs); false for a unit this tool does not know.
bool MetresPerUnit(const std::string& unit, double* metres);

// The band being imported and what marks its voids.
struct BandSource {
    GDALRasterBand* band = nullptr;
    bool hasNoData = false;
    double noData = 0.0;
    // Metres = (value * scale + offset) * metresPerUnit; `converts` when that is not the value itself.
    double scale = 1.0, offset = 0.0, metresPerUnit = 1.0;
    bool converts = false;
    // Whole numbers inside int16 (Byte, Int16) taken as metres: read as int16 as they are.
    bool asInt16 = false;
    bool noDataIsInt16 = false;  // the nodata value is one such number

    // With `units`, the band's scale, offset and vertical unit turn its values into metres;
    // Units() says whether the unit is known.
    explicit BandSource(GDALRasterBand* b, bool units = false) : band(b) {
        int has = 0;
        noData = b->GetNoDataValue(&has);
        hasNoData = has != 0;
        if (units) {
            scale = b->GetScale(&has);
            if (!has || !std::isfinite(scale) || scale == 0.0) scale = 1.0;
            offset = b->GetOffset(&has);
            if (!has || !std::isfinite(offset)) offset = 0.0;
            if (!MetresPerUnit(Unit(), &metresPerUnit)) metresPerUnit = 1.0;
        }
        converts = scale != 1.0 || offset != 0.0 || metresPerUnit != 1.0;
        GDALDataType type = b->GetRasterDataType();
        asInt16 = !converts && (type == GDT_Byte || type == GDT_Int16);
        noDataIsInt16 = hasNoData && noData == std::round(noData) && noData >= -32768.0 && noData <= 32767.0;
    }
    std::string Unit() const { return band->GetUnitType() != nullptr ? band->GetUnitType() : ""; }
    // An infinite elevation is no height at all. Voids are the band's own values.
    bool IsVoid(double v) const { return !std::isfinite(v) || (hasNoData && v == noData); }
    double Metres(double v) const { return converts ? (v * scale + offset) * metresPerUnit : v; }
};

// Counts a stored sample into the report's minimum and maximum; *stored counts them.
void Track(int16_t value, ImportReport* report, int64_t* stored);
// What a void becomes: the void value when voids are set, else 0. Voids never count into
// the minimum and maximum.
int16_t VoidSample(bool infinite, const ImportOptions& options, ImportReport* report);
// Reads `count` rows from row0 into `out` as stored samples. Int16-valued bands are read
// straight into `out` and only their voids are touched; others go through doubles in
// `strip` (kStripRows rows of the band's width). With voids set, a height equal to the
// void value moves 1 m to the nearest other value and is counted, so it never reads as
// a void. The first row holding a void that is not set goes into the report.
bool ReadRows(const BandSource& source, const ImportOptions& options, int32_t row0, int32_t count, int16_t* out,
              std::vector<double>* strip, ImportReport* report, int64_t* stored, std::string* error);

}  // namespace mapimport
