// Streaming a map file in and out by rows of blocks, so that a tool's memory follows the
// map's width, never its area.
//
// A row of blocks is kMapBlockSide rows (fewer at the bottom of the map) of the map's
// full width, int16 metres, row-major, row 0 the northernmost row of the band.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapstore/map_file.h"

// A progress callback as GDAL's (GDALTermProgress fits it): `done` runs 0..1; returning
// 0 asks the work to stop.
typedef int (*ProgressFunc)(double done, const char* message, void* data);

// Writes a new map as its first save, through MapFileBuilder: everything goes to a
// temporary file next to the target, which replaces the target only when it is whole, and
// a failed write leaves the old file as it was.
class MapStreamWriter {
public:
    MapStreamWriter() = default;
    ~MapStreamWriter() = default;  // an unfinished map is removed
    MapStreamWriter(const MapStreamWriter&) = delete;
    MapStreamWriter& operator=(const MapStreamWriter&) = delete;

    // Holds the write lock of the map under `path` (if there is one) until the writer is
    // finished or destroyed; for callers that read that map before they write it.
    bool Lock(const std::string& path, std::string* error);
    // Locks `path` as Lock does, unless that was done already.
    bool Begin(const std::string& path, const MapHeader& header, std::string* error);
    // Appends one block (kMapBlockSamples samples; cells outside the grid are stored as 0).
    bool AppendBlock(int32_t code, const int16_t* samples, std::string* error);
    // Appends every block of the row of blocks starting at row0 (a multiple of kMapBlockSide).
    bool AppendBlockRow(int32_t row0, const int16_t* rows, std::string* error);
    // Commits the save and moves the map to its name.
    bool Finish(std::string* error);

private:
    MapHeader header_;
    MapWriteLock lock_;
    std::unique_ptr<MapFileBuilder> builder_;
    std::vector<int16_t> block_;
};

// Rows in the row of blocks starting at row0.
int32_t BlockRowHeight(const MapHeader& header, int32_t row0);

// Fills `rows` (kMapBlockSide * width samples) with the row of blocks starting at row0
// from the newest saved copies; samples outside the map's width are never copied.
bool ReadBlockRow(const MapFileReader& reader, int32_t row0, int16_t* rows, std::string* error);
