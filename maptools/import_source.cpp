#include "maptools/import_source.h"

#include <algorithm>
#include <limits>

#include "maptools/gdal_raster.h"

namespace mapimport {
namespace {

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

}  // namespace

void Track(int16_t value, ImportReport* report, int64_t* stored) {
    report->minimum = (*stored == 0) ? value : std::min(report->minimum, value);
    report->maximum = (*stored == 0) ? value : std::max(report->maximum, value);
    ++*stored;
}

int16_t VoidSample(bool infinite, const ImportOptions& options, ImportReport* report, int64_t* stored) {
    ++report->voids;
    if (infinite) ++report->infinite;
    if (!options.setVoids) return 0;
    ++report->voidsSet;
    Track(options.voidValue, report, stored);
    return options.voidValue;
}

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

}  // namespace mapimport
