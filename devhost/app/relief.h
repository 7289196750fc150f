// Shaded relief with a hypsometric colour ramp: what devhost's map view draws.
// Portable: the samples come through a callback, the pixels go to a 32-bit BGRA buffer.
#pragma once

#include <cstdint>
#include <functional>

// Elevation in metres at mesh (column, row); `valid` false outside the map.
typedef std::function<int16_t(int64_t column, int64_t row, bool* valid)> SampleSource;

struct ReliefView {
    int width = 0;            // pixels
    int height = 0;
    double originColumn = 0;  // mesh column and row at the top-left pixel's corner
    double originRow = 0;
    int zoom = 1;             // > 0: pixels per sample; < 0: samples per pixel
    double cellMetresX = 30;  // sample spacing, for the slope of the shading
    double cellMetresY = 30;
};

// Mesh position under a pixel (its centre).
void PixelToMesh(const ReliefView& view, int x, int y, double* column, double* row);
// Pixel of a mesh position.
void MeshToPixel(const ReliefView& view, double column, double row, double* x, double* y);
// Colour of an elevation, before shading, as 0x00RRGGBB.
uint32_t HypsometricColour(int elevation);
// Fills `pixels` (width x height, top-down, 0x00RRGGBB) with the shaded relief; pixels
// outside the map are a neutral grey.
void RenderRelief(const ReliefView& view, const SampleSource& source, uint32_t* pixels);
