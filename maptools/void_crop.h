// The largest north-up rectangle of a raster band that holds no void, for importing a
// warped raster without the empty corners every warp of a projected raster leaves.
#pragma once

#include <cstdint>
#include <string>

class GDALRasterBand;

struct CellWindow {
    int32_t column = 0;
    int32_t row = 0;
    int32_t width = 0;   // 0: the band holds no cell that is not a void
    int32_t height = 0;
};

// Voids are NaN, infinities and the band's nodata value. One pass over the band by strips
// of rows, holding one row of counts: memory follows the width, never the area. Of equal
// rectangles, one whose southern edge lies furthest north is kept.
bool LargestWindowWithoutVoids(GDALRasterBand* band, CellWindow* window, std::string* error);
