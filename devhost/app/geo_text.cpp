#include "devhost/app/geo_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// "36°21'07.5\"", rounded to a tenth of a second, carrying into minutes and degrees.
std::wstring Sexagesimal(double degrees) {
    long tenths = std::lround(std::fabs(degrees) * 36000.0);
    wchar_t text[32];
    std::swprintf(text, 32, L"%ld°%02ld'%02ld.%ld\"", tenths / 36000, tenths / 600 % 60, tenths / 10 % 60, tenths % 10);
    return text;
}

}  // namespace

GeoPoint MeshToGeoPoint(const MapHeader& header, double column, double row) {
    return GeoPoint{header.originLat - row * header.cellLat, header.originLon + column * header.cellLon};
}

void GeoPointToMesh(const MapHeader& header, GeoPoint point, double* column, double* row) {
    *column = (point.lon - header.originLon) / header.cellLon;
    *row = (header.originLat - point.lat) / header.cellLat;
}

std::wstring GeoText(GeoPoint point) {
    std::wstring text = point.lat < 0 ? L"南緯 " : L"北緯 ";
    text += Sexagesimal(point.lat);
    text += point.lon < 0 ? L"  西経 " : L"  東経 ";
    text += Sexagesimal(point.lon);
    return text;
}

bool ParseGeoCoordinate(const std::string& text, bool latitude, double* degrees) {
    if (text.size() < 2) return false;
    char hemisphere = text.back();
    const char positive = latitude ? 'N' : 'E', negative = latitude ? 'S' : 'W';
    if (hemisphere != positive && hemisphere != negative) return false;
    std::string number = text.substr(0, text.size() - 1);
    char* end = nullptr;
    double value = std::strtod(number.c_str(), &end);
    if (end == number.c_str() || *end != '\0' || !std::isfinite(value) || value < 0) return false;
    if (value > (latitude ? 90.0 : 180.0)) return false;
    *degrees = hemisphere == negative ? -value : value;
    return true;
}
