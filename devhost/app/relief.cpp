#include "devhost/app/relief.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "devhost/hpi/mesh_cell.h"

namespace {

const uint32_t kOutsideColour = 0x00707070;
const int kSide = 320;
const int kDeepestLevel = 6;

struct Stop {
    int elevation;
    int r, g, b;
};

// Sea, lowland green, uplands ochre and brown, high ground grey to white.
const Stop kRamp[] = {
    {-500, 20, 60, 140}, {0, 60, 120, 190},  {1, 70, 140, 80},    {300, 140, 180, 90},
    {700, 210, 200, 120}, {1200, 170, 120, 70}, {2000, 140, 120, 110}, {3000, 230, 230, 230},
    {4000, 255, 255, 255},
};

double Scale(const ReliefView& view) { return view.zoom > 0 ? 1.0 / view.zoom : -view.zoom; }

// Division by 2^shift rounding toward minus infinity, for cells west or north of the map.
int64_t FloorShift(int64_t value, int shift) { return value >= 0 ? value >> shift : -((-value - 1) >> shift) - 1; }

}  // namespace

void PixelToMesh(const ReliefView& view, int x, int y, double* column, double* row) {
    double scale = Scale(view);
    *column = view.originColumn + (x + 0.5) * scale;
    *row = view.originRow + (y + 0.5) * scale;
}

namespace {

int64_t CellOfPixel(double origin, double scale, int pixel) { return devhost::MeshCellOf(origin + (pixel + 0.5) * scale); }

// Along one axis: the pixel holding the cell's centre, moved by one when zoomed in to 1
// and that pixel's centre falls on the next cell's edge.
int PixelOfCell(double origin, double scale, int64_t cell) {
    int pixel = static_cast<int>(std::floor((cell + 0.5 - origin) / scale));
    if (scale > 1.0) return pixel;
    if (CellOfPixel(origin, scale, pixel) > cell) --pixel;
    if (CellOfPixel(origin, scale, pixel) < cell) ++pixel;
    return pixel;
}

}  // namespace

void PixelToCell(const ReliefView& view, int x, int y, int64_t* column, int64_t* row) {
    double scale = Scale(view);
    *column = CellOfPixel(view.originColumn, scale, x);
    *row = CellOfPixel(view.originRow, scale, y);
}

void CellToPixel(const ReliefView& view, int64_t column, int64_t row, int* x, int* y) {
    double scale = Scale(view);
    *x = PixelOfCell(view.originColumn, scale, column);
    *y = PixelOfCell(view.originRow, scale, row);
}

void MeshToPixel(const ReliefView& view, double column, double row, double* x, double* y) {
    double scale = Scale(view);
    *x = (column - view.originColumn) / scale;
    *y = (row - view.originRow) / scale;
}

uint32_t HypsometricColour(int elevation) {
    const int count = sizeof kRamp / sizeof kRamp[0];
    if (elevation <= kRamp[0].elevation) return (kRamp[0].r << 16) | (kRamp[0].g << 8) | kRamp[0].b;
    for (int i = 1; i < count; ++i) {
        if (elevation > kRamp[i].elevation) continue;
        const Stop& a = kRamp[i - 1];
        const Stop& b = kRamp[i];
        double t = static_cast<double>(elevation - a.elevation) / (b.elevation - a.elevation);
        int r = static_cast<int>(a.r + t * (b.r - a.r));
        int g = static_cast<int>(a.g + t * (b.g - a.g));
        int bl = static_cast<int>(a.b + t * (b.b - a.b));
        return (r << 16) | (g << 8) | bl;
    }
    const Stop& last = kRamp[count - 1];
    return (last.r << 16) | (last.g << 8) | last.b;
}

int ReliefLevelFor(int zoom) {
    if (zoom > -4) return 0;
    int level = 0;
    for (int64_t samples = -static_cast<int64_t>(zoom); samples >= 2 && level < kDeepestLevel; samples /= 2) ++level;
    return level;
}

ReliefRenderer::ReliefRenderer()
    : colours_(65536), shades_(static_cast<size_t>(2 * kStepRange + 1) * (2 * kStepRange + 1), -1.0) {
    for (int i = 0; i < 65536; ++i) colours_[i] = HypsometricColour(i - 32768);
}

// The cell each pixel shows, as PixelToCell names it, then taken down to the grid's level.
void ReliefRenderer::BuildAxis(double origin, double scale, int pixels, int shift, Axis* axis) {
    axis->slotOf.resize(static_cast<size_t>(pixels));
    axis->samples.clear();
    for (int i = 0; i < pixels; ++i) {
        int64_t sample = FloorShift(CellOfPixel(origin, scale, i), shift);
        if (axis->samples.empty() || axis->samples.back() != sample) axis->samples.push_back(sample);
        axis->slotOf[i] = static_cast<int32_t>(axis->samples.size() - 1);
    }
}

// Fetches every block the frame reads: the samples shown and their east and south
// neighbours, clipped to the grid.
void ReliefRenderer::IndexBlocks(ReliefGrid& grid) {
    blocks_.clear();
    blockColumns_ = 0;
    if (columns_.samples.empty() || rows_.samples.empty()) return;
    int64_t firstColumn = std::max<int64_t>(0, columns_.samples.front());
    int64_t lastColumn = std::min<int64_t>(grid.columns() - 1, columns_.samples.back() + 1);
    int64_t firstRow = std::max<int64_t>(0, rows_.samples.front());
    int64_t lastRow = std::min<int64_t>(grid.rows() - 1, rows_.samples.back() + 1);
    if (firstColumn > lastColumn || firstRow > lastRow) return;
    firstBlockColumn_ = static_cast<int32_t>(firstColumn / kSide);
    firstBlockRow_ = static_cast<int32_t>(firstRow / kSide);
    blockColumns_ = static_cast<int32_t>(lastColumn / kSide) - firstBlockColumn_ + 1;
    int32_t lastBlockRow = static_cast<int32_t>(lastRow / kSide);
    for (int32_t blockRow = firstBlockRow_; blockRow <= lastBlockRow; ++blockRow) {
        for (int32_t i = 0; i < blockColumns_; ++i) blocks_.push_back(grid.Block(blockRow, firstBlockColumn_ + i));
    }
}

// Where each distinct column's sample and its east neighbour sit: block column in the
// frame's index and offset in the block's row; -1 for none.
void ReliefRenderer::PlaceColumns(int64_t gridColumns) {
    const size_t count = columns_.samples.size();
    columnPlaces_.assign(count, ColumnPlace{-1, 0, -1, 0});
    if (blockColumns_ == 0) return;
    for (size_t i = 0; i < count; ++i) {
        int64_t column = columns_.samples[i];
        if (column < 0 || column >= gridColumns) continue;
        ColumnPlace& place = columnPlaces_[i];
        place.block = static_cast<int32_t>(column / kSide) - firstBlockColumn_;
        place.offset = static_cast<int32_t>(column % kSide);
        if (column + 1 >= gridColumns) continue;
        place.eastBlock = static_cast<int32_t>((column + 1) / kSide) - firstBlockColumn_;
        place.eastOffset = static_cast<int32_t>((column + 1) % kSide);
    }
}

// Light from the north-west; the slope comes from the height steps to the neighbours
// east and south (0 where there is none).
double ReliefRenderer::ComputeShade(int dx, int dy) const {
    const double lightX = -0.5, lightY = -0.5, lightZ = 0.7071;
    double dzdx = dx / metresX_;
    double dzdy = dy / metresY_;
    double length = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1.0);
    double shade = (-dzdx * lightX - dzdy * lightY + lightZ) / length;
    return std::min(1.2, std::max(0.35, 0.45 + 0.8 * shade));
}

// Small steps, nearly all of them, are shaded once per cell size and remembered.
double ReliefRenderer::ShadeOf(int dx, int dy) {
    if (dx < -kStepRange || dx > kStepRange || dy < -kStepRange || dy > kStepRange) return ComputeShade(dx, dy);
    double& shade = shades_[static_cast<size_t>(dx + kStepRange) * (2 * kStepRange + 1) + (dy + kStepRange)];
    if (shade < 0) shade = ComputeShade(dx, dy);
    return shade;
}

void ReliefRenderer::SetVoid(bool has, int16_t value) {
    hasVoid_ = has;
    void_ = value;
}

uint32_t ReliefRenderer::Colour(int16_t h, double shade) const {
    uint32_t colour = colours_[h + 32768];
    int red = std::min(255, static_cast<int>(((colour >> 16) & 0xFF) * shade));
    int green = std::min(255, static_cast<int>(((colour >> 8) & 0xFF) * shade));
    int blue = std::min(255, static_cast<int>((colour & 0xFF) * shade));
    return (static_cast<uint32_t>(red) << 16) | (green << 8) | blue;
}

// Shades every distinct column of one grid row into `shaded_`.
void ReliefRenderer::ShadeRow(int64_t row, int64_t gridRows) {
    const size_t count = columns_.samples.size();
    shaded_.resize(count);
    if (row < 0 || row >= gridRows) {
        std::fill(shaded_.begin(), shaded_.end(), kOutsideColour);
        return;
    }
    const bool southValid = row + 1 < gridRows;
    const size_t blockRow = static_cast<size_t>(row / kSide - firstBlockRow_);
    const size_t southBlockRow = static_cast<size_t>((row + 1) / kSide - firstBlockRow_);
    for (int32_t i = 0; i < blockColumns_; ++i) {
        lines_[i] = blocks_[blockRow * blockColumns_ + i] + (row % kSide) * kSide;
        southLines_[i] = southValid ? blocks_[southBlockRow * blockColumns_ + i] + ((row + 1) % kSide) * kSide : nullptr;
    }
    for (size_t i = 0; i < count; ++i) {
        const ColumnPlace& place = columnPlaces_[i];
        if (place.block < 0) {
            shaded_[i] = kOutsideColour;
            continue;
        }
        int16_t h = lines_[place.block][place.offset];
        if (hasVoid_ && h == void_) {
            shaded_[i] = kVoidColour;
            continue;
        }
        // A void neighbour has no height: the sample is shaded as if level with it.
        int east = place.eastBlock >= 0 ? lines_[place.eastBlock][place.eastOffset] : h;
        int south = southValid ? southLines_[place.block][place.offset] : h;
        if (hasVoid_ && east == void_) east = h;
        if (hasVoid_ && south == void_) south = h;
        shaded_[i] = Colour(h, ShadeOf(east - h, south - h));
    }
}

void ReliefRenderer::Render(const ReliefView& view, ReliefGrid& grid, uint32_t* pixels) {
    if (view.width <= 0 || view.height <= 0) return;
    const int level = grid.level();
    const double scale = Scale(view);
    BuildAxis(view.originColumn, scale, view.width, level, &columns_);
    BuildAxis(view.originRow, scale, view.height, level, &rows_);
    double metresX = view.cellMetresX * (1 << level), metresY = view.cellMetresY * (1 << level);
    if (metresX != metresX_ || metresY != metresY_) std::fill(shades_.begin(), shades_.end(), -1.0);
    metresX_ = metresX;
    metresY_ = metresY;
    IndexBlocks(grid);
    PlaceColumns(grid.columns());
    lines_.resize(static_cast<size_t>(blockColumns_));
    southLines_.resize(static_cast<size_t>(blockColumns_));
    const size_t width = static_cast<size_t>(view.width);
    for (int y = 0; y < view.height; ++y) {
        uint32_t* line = pixels + y * width;
        int32_t slot = rows_.slotOf[y];
        if (y > 0 && slot == rows_.slotOf[y - 1]) {
            std::memcpy(line, line - width, width * sizeof *line);
            continue;
        }
        if (blocks_.empty()) {
            std::fill(line, line + width, kOutsideColour);
            continue;
        }
        ShadeRow(rows_.samples[slot], grid.rows());
        for (size_t x = 0; x < width; ++x) line[x] = shaded_[columns_.slotOf[x]];
    }
}
