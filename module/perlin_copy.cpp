// Copy-assignment of the host's noise objects. The module exports these under their
// decorated names; each copies the whole object byte for byte.
#include <cstring>

#include "host/perlin.h"

CPerlinNoise& CPerlinNoise::operator=(const CPerlinNoise& other) {
    std::memcpy(static_cast<void*>(this), &other, sizeof(CPerlinNoise));
    return *this;
}

CPerlinCloud& CPerlinCloud::operator=(const CPerlinCloud& other) {
    std::memcpy(static_cast<void*>(this), &other, sizeof(CPerlinCloud));
    return *this;
}

CPerlinBump& CPerlinBump::operator=(const CPerlinBump& other) {
    std::memcpy(static_cast<void*>(this), &other, sizeof(CPerlinBump));
    return *this;
}
