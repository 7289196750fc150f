#include "devhost/app/relief.h"

#include <algorithm>
#include <cmath>

namespace {

const uint32_t kOutsideColour = 0x00707070;

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

}  // namespace

void PixelToMesh(const ReliefView& view, int x, int y, double* column, double* row) {
    double scale = Scale(view);
    *column = view.originColumn + (x + 0.5) * scale;
    *row = view.originRow + (y + 0.5) * scale;
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

// Light from the north-west; the slope comes from the neighbours east and south.
void RenderRelief(const ReliefView& view, const SampleSource& source, uint32_t* pixels) {
    const double lightX = -0.5, lightY = -0.5, lightZ = 0.7071;
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x) {
            double c = 0, r = 0;
            PixelToMesh(view, x, y, &c, &r);
            int64_t column = static_cast<int64_t>(std::floor(c));
            int64_t row = static_cast<int64_t>(std::floor(r));
            bool valid = false;
            int16_t h = source(column, row, &valid);
            uint32_t* pixel = &pixels[static_cast<size_t>(y) * view.width + x];
            if (!valid) {
                *pixel = kOutsideColour;
                continue;
            }
            bool eastValid = false, southValid = false;
            int16_t east = source(column + 1, row, &eastValid);
            int16_t south = source(column, row + 1, &southValid);
            double dzdx = eastValid ? (east - h) / view.cellMetresX : 0.0;
            double dzdy = southValid ? (south - h) / view.cellMetresY : 0.0;
            double length = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1.0);
            double shade = (-dzdx * lightX - dzdy * lightY + lightZ) / length;
            shade = std::min(1.2, std::max(0.35, 0.45 + 0.8 * shade));
            uint32_t colour = HypsometricColour(h);
            int red = std::min(255, static_cast<int>(((colour >> 16) & 0xFF) * shade));
            int green = std::min(255, static_cast<int>(((colour >> 8) & 0xFF) * shade));
            int blue = std::min(255, static_cast<int>((colour & 0xFF) * shade));
            *pixel = (static_cast<uint32_t>(red) << 16) | (green << 8) | blue;
        }
    }
}
