// The JSON sidecar of a raw elevation grid. It is one flat object whose values are
// numbers, strings, true, false or null (nested objects and arrays are refused); the
// six grid keys below must be present, as numbers.
#pragma once

#include <cstdint>
#include <string>

struct RawGridInfo {
    int32_t width = 0;        // "width", columns, a whole number >= 1
    int32_t height = 0;       // "height", rows, a whole number >= 1
    double originLat = 0.0;   // "origin_lat", north edge of row 0, degrees
    double originLon = 0.0;   // "origin_lon", west edge of column 0, degrees
    double cellLon = 0.0;     // "cell_size_deg_x", degrees east-west
    double cellLat = 0.0;     // "cell_size_deg_y", degrees north-south
};

// Cell sizes a grid may have, degrees: about 1 cm to about 110 km.
const double kMinCellDeg = 1e-7;
const double kMaxCellDeg = 1.0;

// Empty when the grid lies on the globe: origin latitude -90..90 and longitude
// -180..180, plausible positive cell sizes, and an extent that ends inside those
// ranges too; otherwise the reason.
std::string CheckGridOnGlobe(const RawGridInfo& info);

// Longest sidecar accepted, in bytes.
const size_t kMaxSidecarBytes = 64 * 1024;

// Parses and checks the sidecar, including CheckGridOnGlobe.
bool ParseSidecarJson(const std::string& text, RawGridInfo* info, std::string* error);
