// What the map tool shares about GDAL: its setup, and the georeference of a map as a
// GDAL geotransform in WGS 84.
#pragma once

#include <string>
#include <vector>

#include "mapstore/map_file.h"

class OGRSpatialReference;

// Registers GDAL's drivers once and bounds its block cache (bytes).
void InitializeGdal();
const long long kGdalCacheBytes = 64ll << 20;

// North-up geotransform of a map: x longitude, y latitude, origin at the north-west corner.
void MapGeoTransform(const MapHeader& header, double* transform);
// WGS 84 longitude/latitude, with longitude as the first axis of the data.
OGRSpatialReference Wgs84LonLat();

// Dataset metadata items an export writes and an import reads back.
const char* const kMapTypeItem = "ZOLVA_MAP_TYPE";
const char* const kMatItem = "ZOLVA_MAT";

// Keeps GDAL's own error printing quiet while it lives; its messages reach the user
// through GdalError.
struct QuietGdal {
    QuietGdal();
    ~QuietGdal();
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;
};

// Keeps GDAL's printing quiet as QuietGdal does, and collects its warnings into `into`
// (once each) while it lives.
class GdalWarnings {
public:
    explicit GdalWarnings(std::vector<std::string>* into);
    ~GdalWarnings();
    GdalWarnings(const GdalWarnings&) = delete;
    GdalWarnings& operator=(const GdalWarnings&) = delete;

private:
    std::vector<std::string>* into_;
};

// GDAL's last error message, or `fallback` when it has none.
std::string GdalError(const std::string& fallback);
