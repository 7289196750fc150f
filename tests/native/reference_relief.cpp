#include "tests/native/reference_relief.h"

#include <algorithm>
#include <cmath>

// Light from the north-west; the slope comes from the neighbours east and south.
void ReferenceRenderRelief(const ReliefView& view, const SampleSource& source, uint32_t* pixels) {
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
                *pixel = 0x00707070u;
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
