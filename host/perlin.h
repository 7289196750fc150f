// The host services library's Perlin-noise family as the plug-in sees it.
// Objects are created by the plug-in (one per noise field) and used through the
// imported members below; the layout is shared with the host, so it is pinned.
// PerlinNoise2D returns a sum of octaves of 2D gradient noise, roughly -1..+1.
#pragma once

#include <cstdint>

#include "host/hpi.h"

class CPerlinNoise {
public:
    int enabled;  // leading public member; the plug-in sets it to 1 before Create

    HPI_API CPerlinNoise();
    HPI_API ~CPerlinNoise();
    // Copies the whole object byte for byte. Defined and exported by the plug-in module.
    CPerlinNoise& operator=(const CPerlinNoise& other);

    // persistence: amplitude ratio between octaves (0..1); scaleX, scaleY: feature size in
    // samples; seed: any double that selects the field.
    HPI_API void Create(double persistence, double scaleX, double scaleY, double seed);
    // Octave count minus one for the given sample spacing and smallest feature (both
    // usually 1.0).
    HPI_API int GetOctaves(double& spacing, double& finest);
    // Same object and arguments give the same value.
    HPI_API double PerlinNoise2D(double x, double y, int octaves);

protected:
    double persistence_;
    double scaleX_;
    double scaleY_;
    double seed_;
    uint8_t permutation_[256];
};

class CPerlinCloud : public CPerlinNoise {
public:
    HPI_API CPerlinCloud();
    CPerlinCloud& operator=(const CPerlinCloud& other);
    // Cloud-like field: the absolute value of each octave, summed.
    HPI_API double Cloud2D(double x, double y, int octaves);

protected:
    double softness_;
};

class CPerlinBump : public CPerlinNoise {
public:
    HPI_API CPerlinBump();
    CPerlinBump& operator=(const CPerlinBump& other);
    // Bump field: noise raised to a power, for small isolated hills.
    HPI_API double Bump2D(double x, double y, int octaves);

protected:
    double sharpness_;
};

static_assert(sizeof(CPerlinNoise) == 8 + 4 * 8 + 256, "CPerlinNoise layout is shared with the host");
static_assert(sizeof(CPerlinCloud) == sizeof(CPerlinNoise) + 8, "CPerlinCloud layout");
static_assert(sizeof(CPerlinBump) == sizeof(CPerlinNoise) + 8, "CPerlinBump layout");
