#include "maptools/gdal_raster.h"

#include <algorithm>

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_spatialref.h>

void InitializeGdal() {
    static const bool done = [] {
        GDALAllRegister();
        GDALSetCacheMax64(kGdalCacheBytes);
        return true;
    }();
    (void)done;
}

void MapGeoTransform(const MapHeader& header, double* transform) {
    transform[0] = header.originLon;
    transform[1] = header.cellLon;
    transform[2] = 0.0;
    transform[3] = header.originLat;
    transform[4] = 0.0;
    transform[5] = -header.cellLat;
}

OGRSpatialReference Wgs84LonLat() {
    OGRSpatialReference srs;
    srs.SetWellKnownGeogCS("WGS84");
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

std::string GdalError(const std::string& fallback) {
    const char* message = CPLGetLastErrorMsg();
    if (message == nullptr || *message == '\0') return fallback;
    return fallback + ": " + message;
}

QuietGdal::QuietGdal() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

QuietGdal::~QuietGdal() { CPLPopErrorHandler(); }

namespace {

void CPL_STDCALL CollectWarning(CPLErr level, CPLErrorNum, const char* message) {
    auto* into = static_cast<std::vector<std::string>*>(CPLGetErrorHandlerUserData());
    if (level != CE_Warning || into == nullptr || message == nullptr) return;
    std::string text = std::string("GDAL: ") + message;
    if (std::find(into->begin(), into->end(), text) == into->end()) into->push_back(text);
}

}  // namespace

GdalWarnings::GdalWarnings(std::vector<std::string>* into) : into_(into) {
    CPLPushErrorHandlerEx(CollectWarning, into_);
    CPLErrorReset();
}

GdalWarnings::~GdalWarnings() { CPLPopErrorHandler(); }
