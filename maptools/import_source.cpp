#include "maptools/import_source.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "maptools/gdal_raster.h"

namespace mapimport {
namespace {

const double kInt16Low = std::numeric_limits<int16_t>::min();
const double kInt16High = std::numeric_limits<int16_t>::max();

// The stored sample nearest to `value` that is not the void value.
int16_t BesideVoidValue(double value, int16_t voidValue) {
    if (voidValue == kInt16Low) return voidValue + 1;
    if (voidValue == kInt16High) return voidValue - 1;
    return value > voidValue ? voidValue + 1 : voidValue - 1;
}

// One source value as a stored sample; voids not being set read as 0 and are counted.
int16_t ConvertSample(double value, const BandSource& source, const ImportOptions& options,
                      ImportReport* report, int64_t* stored) {
    if (source.IsVoid(value)) return VoidSample(std::isinf(value), options, report);
    double metres = source.Metres(value);
    double whole = std::round(metres);
    if (whole != metres) ++report->rounded;
    if (whole < kInt16Low || whole > kInt16High) {
        ++report->clamped;
        whole = std::clamp(whole, kInt16Low, kInt16High);
    }
    int16_t sample = static_cast<int16_t>(whole);
    if ((options.setVoids || options.keepsVoidValue) && sample == options.voidValue) {
        sample = BesideVoidValue(metres, options.voidValue);
        ++report->moved;
    }
    Track(sample, report, stored);
    return sample;
}

}  // namespace

bool MetresPerUnit(const std::string& unit, double* metres) {
    std::string u;
    for (char c : unit) u += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct Known {
        const char* name;
        double metres;
    };
    static const Known kUnits[] = {
        {"", 1.0}, {"m", 1.0}, {"metre", 1.0}, {"metres", 1.0}, {"meter", 1.0}, {"meters", 1.0},
        {"ft", 0.3048}, {"foot", 0.3048}, {"feet", 0.3048}, {"international foot", 0.3048},
        {"us survey foot", 1200.0 / 3937.0}, {"us survey feet", 1200.0 / 3937.0}, {"ftus", 1200.0 / 3937.0},
        {"us-ft", 1200.0 / 3937.0},
    };
    for (const Known& known : kUnits) {
        if (u == known.name) return *metres = known.metres, true;
    }
    return false;
}

void Track(int16_t value, ImportReport* report, int64_t* stored) {
    report->minimum = (*stored == 0) ? value : std::min(report->minimum, value);
    report->maximum = (*stored == 0) ? value : std::max(report->maximum, value);
    ++*stored;
}

int16_t VoidSample(bool infinite, const ImportOptions& options, ImportReport* report) {
    ++report->voids;
    if (infinite) ++report->infinite;
    if (!options.setVoids) return 0;
    ++report->voidsSet;
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
        // A height equal to the void value: only when the band marks its voids otherwise.
        bool collide = (options.setVoids || options.keepsVoidValue) && !(source.noDataIsInt16 && marker == options.voidValue);
        for (size_t i = 0; i < cells; ++i) {
            if (source.noDataIsInt16 && out[i] == marker) {
                if (report->firstUnsetVoidRow < 0 && !options.setVoids) {
                    report->firstUnsetVoidRow = row0 + static_cast<int32_t>(i / width);
                }
                out[i] = VoidSample(false, options, report);
                continue;
            }
            if (collide && out[i] == options.voidValue) {
                out[i] = BesideVoidValue(out[i], options.voidValue);
                ++report->moved;
            }
            low = std::min(low, out[i]);
            high = std::max(high, out[i]);
        }
        if (low <= high) Track(low, report, stored), Track(high, report, stored);
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
            const double value = (*strip)[i];
            if (report->firstUnsetVoidRow < 0 && !options.setVoids && source.IsVoid(value)) {
                report->firstUnsetVoidRow = row0 + s + static_cast<int32_t>(i / width);
            }
            target[i] = ConvertSample(value, source, options, report, stored);
        }
    }
    return true;
}

}  // namespace mapimport
