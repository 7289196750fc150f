// Exporting a map: its samples inside its width and height, unchanged (int16 metres), with
// its georeference (WGS 84 longitude/latitude, north-up).
#pragma once

#include <string>
#include <vector>

#include "maptools/map_stream.h"

// The format name that writes a little-endian int16 grid and the JSON sidecar that
// `from-raw` reads, instead of a GDAL driver.
const char* const kRawFormat = "raw";
const char* const kDefaultExportFormat = "GTiff";

struct ExportOptions {
    std::string format;                        // a GDAL driver's short name or raw; empty: from the extension
    std::vector<std::string> creationOptions;  // NAME=VALUE, for the driver
    bool acceptLoss = false;                   // write formats that lose heights or voids
    ProgressFunc progress = nullptr;           // called with 0..1
    void* progressData = nullptr;
};

// A format the tool writes, checked to give every height back, and the void value with the
// map type where `keepsVoidValue` (else an import needs --void-value V to have the voids back).
struct ExportFormat {
    const char* driver;
    bool copy;         // written by the driver's copy of a GeoTIFF whose nodata value marks the voids
    bool keepsVoids;   // false: voids would be written as heights
    bool keepsVoidValue;  // the void value (with the map type) comes back on import
    const char* creation;  // default creation options, space-separated
};
// The format of that driver, or null when the tool has not checked it.
const ExportFormat* FindExportFormat(const std::string& driver);
std::vector<std::string> ExportFormatNames();

// Writes the map through a GDAL driver that can store int16 samples, or as a raw grid.
// A driver outside the checked formats, or one that would write voids as heights, is
// refused unless the options accept loss; one that writes no file is refused.
// `written` receives the files made, `warnings` what the map reader noticed while opening
// the map.
bool ExportMap(const std::string& in, const std::string& out, const ExportOptions& options,
               std::vector<std::string>* written, std::vector<std::string>* warnings, std::string* error);
bool ExportMap(const std::string& in, const std::string& out, const std::string& format,
               std::vector<std::string>* written, std::vector<std::string>* warnings, std::string* error);

// The format for `out`: `named` when given, else the one GDAL driver whose registered
// extensions hold out's extension (.raw is the raw grid). An extension with no driver, or
// with several, is an error that lists the choices.
bool ChooseExportFormat(const std::string& out, const std::string& named, std::string* format, std::string* error);

// Where a raw grid's sidecar goes: the grid's name with its extension replaced by .json.
std::string RawSidecarPath(const std::string& rawPath);
