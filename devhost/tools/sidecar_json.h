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

// Longest sidecar accepted, in bytes.
const size_t kMaxSidecarBytes = 64 * 1024;

bool ParseSidecarJson(const std::string& text, RawGridInfo* info, std::string* error);
