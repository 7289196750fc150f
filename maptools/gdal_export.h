// Exporting a map: its samples inside its width and height, unchanged (int16 metres), with
// its georeference (WGS 84 longitude/latitude, north-up).
#pragma once

#include <string>
#include <vector>

// The format name that writes a little-endian int16 grid and the JSON sidecar that
// `from-raw` reads, instead of a GDAL driver.
const char* const kRawFormat = "raw";
const char* const kDefaultExportFormat = "GTiff";

// Writes the map through the GDAL driver named `format` (any driver that can store int16
// samples), or as a raw grid. `written` receives the files made, `warnings` what the map
// reader noticed while opening the map.
bool ExportMap(const std::string& in, const std::string& out, const std::string& format,
               std::vector<std::string>* written, std::vector<std::string>* warnings, std::string* error);

// Where a raw grid's sidecar goes: the grid's name with its extension replaced by .json.
std::string RawSidecarPath(const std::string& rawPath);
