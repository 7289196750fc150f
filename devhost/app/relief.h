// Shaded relief with a hypsometric colour ramp: what devhost's map view draws.
// Portable: the samples come from blocks of 320 x 320 int16 samples (metres), the pixels
// go to a 32-bit buffer (0x00RRGGBB, top-down).
#pragma once

#include <cstdint>
#include <vector>

struct ReliefView {
    int width = 0;            // pixels
    int height = 0;
    double originColumn = 0;  // mesh column and row at the top-left pixel's corner
    double originRow = 0;
    int zoom = 1;             // > 0: pixels per sample; < 0: samples per pixel
    double cellMetresX = 30;  // sample spacing, for the slope of the shading
    double cellMetresY = 30;
};

// The samples a frame is drawn from: one level of the map (0 the map itself, level k
// one sample per 2^k x 2^k map cells), read block by block.
class ReliefGrid {
public:
    virtual ~ReliefGrid() = default;
    virtual int level() const = 0;
    virtual int64_t columns() const = 0;  // samples of this level
    virtual int64_t rows() const = 0;
    // The block at (block row, block column) of this level; it must stay valid until the
    // frame is drawn. Called only for blocks inside the level's grid.
    virtual const int16_t* Block(int32_t blockRow, int32_t blockColumn) = 0;
};

// Mesh position under a pixel (its centre).
void PixelToMesh(const ReliefView& view, int x, int y, double* column, double* row);
// The mesh cell a pixel shows: the cell holding its centre (MeshCellOf). The relief, the
// status bar and the place handed to plug-ins all take the pixel's cell from here.
void PixelToCell(const ReliefView& view, int x, int y, int64_t* column, int64_t* row);
// A pixel that shows the cell: zoomed in, one of the pixels PixelToCell gives the cell to;
// zoomed out (one pixel for several cells), the pixel whose area holds the cell's centre.
void CellToPixel(const ReliefView& view, int64_t column, int64_t row, int* x, int* y);
// Pixel of a mesh position.
void MeshToPixel(const ReliefView& view, double column, double row, double* x, double* y);
// Colour of an elevation, before shading, as 0x00RRGGBB.
uint32_t HypsometricColour(int elevation);
// Colour of a void (a cell the map has no elevation for), unshaded: a violet grey that no
// elevation has, so a void never passes for deep sea or any terrain.
const uint32_t kVoidColour = 0x00907090;
// Level of detail for a zoom: the map itself down to zoom -3, then level k for 2^k to
// 2^(k+1) - 1 samples per pixel (a pixel spans one to two samples of its level), at most 6.
int ReliefLevelFor(int zoom);

// Draws frames. Each sample of the grid that a frame shows is shaded once; pixels that
// show the same sample are copies. Buffers live across frames.
class ReliefRenderer {
public:
    ReliefRenderer();
    // Fills `pixels` (width x height) with the shaded relief; pixels outside the grid are
    // a neutral grey.
    void Render(const ReliefView& view, ReliefGrid& grid, uint32_t* pixels);
    // Samples holding `value` are voids, drawn in kVoidColour; none when `has` is false.
    void SetVoid(bool has, int16_t value);

private:
    // For each pixel column (or row), the index of its sample in `samples`, the distinct
    // sample indices of the grid in increasing order.
    struct Axis {
        std::vector<int32_t> slotOf;
        std::vector<int64_t> samples;
    };
    // Where a distinct column's sample and its east neighbour are read: block column
    // within the frame's blocks (-1: none) and offset within the block's row.
    struct ColumnPlace {
        int32_t block, offset;
        int32_t eastBlock, eastOffset;
    };
    // Height steps up to this size keep their shade for the next samples and frames.
    static const int kStepRange = 255;

    static void BuildAxis(double origin, double scale, int pixels, int shift, Axis* axis);
    void IndexBlocks(ReliefGrid& grid);
    void PlaceColumns(int64_t gridColumns);
    double ComputeShade(int dx, int dy) const;
    double ShadeOf(int dx, int dy);
    uint32_t Colour(int16_t h, double shade) const;
    void ShadeRow(int64_t row, int64_t gridRows);

    std::vector<uint32_t> colours_;  // by elevation + 32768
    std::vector<double> shades_;     // by height steps east and south; -1: not yet known
    Axis columns_, rows_;
    std::vector<ColumnPlace> columnPlaces_;
    std::vector<uint32_t> shaded_;   // one row of shaded samples
    double metresX_ = 0, metresY_ = 0;
    bool hasVoid_ = false;
    int16_t void_ = 0;
    // Blocks covering the frame, row-major from (firstBlockRow_, firstBlockColumn_), and
    // the current grid row (and the one south of it) in each block column.
    std::vector<const int16_t*> blocks_;
    std::vector<const int16_t*> lines_, southLines_;
    int32_t firstBlockRow_ = 0, firstBlockColumn_ = 0, blockColumns_ = 0;
};
