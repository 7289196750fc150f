// A palette fixture over a 640 x 640 map file that devhost has open, with a view window
// on it (view 1, centred on sample 320, 320) and the module started.
#pragma once

#include <cstdint>
#include <string>

#include "tests/windows/palette_test_support.h"

struct TestMap {
    const char* prefix;  // the file is <prefix>-<test name>.map beside the executable
    double originLat, originLon, cellLat, cellLon;
    int16_t (*ground)(int row, int column);
};

// The centre of a sample of the map, as the view reports positions.
GEOPOS CellCentre(const TestMap& map, int column, int row);

class MapViewFixture : public PaletteFixture {
protected:
    static const int kSide = 640;
    static const HPI_HANDLE kView = 1;

    explicit MapViewFixture(const TestMap& map) : testMap_(map) {}
    void SetUp() override;
    // Closes the map while the module's map hook is still there to hear it.
    void TearDown() override;

    const TestMap testMap_;
    std::string path_;
    std::string original_;  // the file's bytes as created
    HPI_HANDLE map_ = 0;
    HWND view_ = nullptr;
};
