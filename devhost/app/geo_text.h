// Geographic positions of mesh positions, and how the status bar writes them.
// Portable. Maps are north-up: row 0 is the north edge, column 0 the west edge.
#pragma once

#include <string>

#include "mapstore/map_file.h"

struct GeoPoint {
    double lat;  // degrees, north positive
    double lon;  // degrees, east positive
};

// Position of a mesh position (fractional column and row, from the north-west corner).
GeoPoint MeshToGeoPoint(const MapHeader& header, double column, double row);
// Mesh position (fractional) of a geographic position.
void GeoPointToMesh(const MapHeader& header, GeoPoint point, double* column, double* row);
// "北緯 36°21'07.5\"  西経 84°11'30.0\"": degrees, minutes and seconds to a tenth.
std::wstring GeoText(GeoPoint point);
// Reads a latitude or longitude written with its hemisphere, such as "36.3521N" or
// "84.19W"; false for anything else.
bool ParseGeoCoordinate(const std::string& text, bool latitude, double* degrees);
