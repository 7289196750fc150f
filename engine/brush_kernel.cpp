#include "engine/brush_kernel.h"

#include <cstring>

void CBrushKernel::Reset() {
    std::memset(stamp, 0, sizeof stamp);
    size = 1;
    method = 1;
    targetAltitude = 1000;
    strength = 255;
}
