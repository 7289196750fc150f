#include "maptools/void_crop.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gdal_priv.h>

#include "maptools/gdal_raster.h"

namespace {

const int kCropStripRows = 64;

// The largest rectangle under the histogram `heights` (runs of non-void cells ending at
// `row`), when larger than the best so far. The stack holds columns of rising height.
void LargestUnderHistogram(const std::vector<int32_t>& heights, int32_t row, std::vector<int32_t>* stack,
                           CellWindow* best) {
    stack->clear();
    int32_t width = static_cast<int32_t>(heights.size());
    for (int32_t c = 0; c <= width; ++c) {
        int32_t h = c < width ? heights[c] : 0;
        while (!stack->empty() && heights[stack->back()] >= h) {
            int32_t top = heights[stack->back()];
            stack->pop_back();
            int32_t left = stack->empty() ? 0 : stack->back() + 1;
            int64_t area = int64_t(top) * (c - left);
            if (top > 0 && area > int64_t(best->width) * best->height) {
                *best = CellWindow{left, row - top + 1, c - left, top};
            }
        }
        stack->push_back(c);
    }
}

}  // namespace

bool LargestWindowWithoutVoids(GDALRasterBand* band, CellWindow* window, std::string* error) {
    *window = CellWindow();
    int32_t width = band->GetXSize(), height = band->GetYSize();
    int hasNoData = 0;
    double noData = band->GetNoDataValue(&hasNoData);
    std::vector<double> strip(static_cast<size_t>(kCropStripRows) * width);
    std::vector<int32_t> heights(width, 0), stack;
    stack.reserve(width + 1);
    for (int32_t row0 = 0; row0 < height; row0 += kCropStripRows) {
        int32_t count = std::min(kCropStripRows, height - row0);
        if (band->RasterIO(GF_Read, 0, row0, width, count, strip.data(), width, count, GDT_Float64, 0, 0, nullptr) !=
            CE_None) {
            return *error = GdalError("cannot read rows " + std::to_string(row0)), false;
        }
        for (int32_t r = 0; r < count; ++r) {
            const double* values = strip.data() + static_cast<size_t>(r) * width;
            for (int32_t c = 0; c < width; ++c) {
                bool isVoid = !std::isfinite(values[c]) || (hasNoData && values[c] == noData);
                heights[c] = isVoid ? 0 : heights[c] + 1;
            }
            LargestUnderHistogram(heights, row0 + r, &stack, window);
        }
    }
    return true;
}
