// The host services library's Perlin-noise family as the plug-in sees it. Its members are
// called with the host compiler's conventions (thiscall) under its names; the build takes
// those names from a compiler in that mode, never from a list typed here.
//
// The plug-in relies only on the leading int: the object's size belongs to the host, so the
// plug-in constructs each object in storage of its own that is far larger than any layout
// (HostNoise, generator/host_noise.h). The fields after `enabled` are the stand-in host's.
// PerlinNoise2D returns a sum of octaves of 2D gradient noise, roughly -1..+1.
#pragma once

#include <stdint.h>

#include "host/hpi.h"

class CPerlinNoise {
public:
    int enabled;  // leading public member; the plug-in sets it to 1 before Create

    HPI_SERVICES_API CPerlinNoise();
    HPI_SERVICES_API ~CPerlinNoise();
    // Copies the whole object byte for byte. Defined and exported by the plug-in module.
    CPerlinNoise& operator=(const CPerlinNoise& other);

    // persistence: amplitude ratio between octaves (0..1); scaleX, scaleY: feature size in
    // samples; seed: any double that selects the field.
    HPI_SERVICES_API void Create(double persistence, double scaleX, double scaleY, double seed);
    // Octave count minus one for the given sample spacing and smallest feature (both
    // usually 1.0).
    HPI_SERVICES_API int GetOctaves(double& spacing, double& finest);
    // Same object and arguments give the same value.
    HPI_SERVICES_API double PerlinNoise2D(double x, double y, int octaves);

protected:
    double persistence_;
    double scaleX_;
    double scaleY_;
    double seed_;
    uint8_t permutation_[256];
};

class CPerlinCloud : public CPerlinNoise {
public:
    HPI_SERVICES_API CPerlinCloud();
    CPerlinCloud& operator=(const CPerlinCloud& other);
    // Cloud-like field: the absolute value of each octave, summed.
    HPI_SERVICES_API double Cloud2D(double x, double y, int octaves);

protected:
    double softness_;
};

class CPerlinBump : public CPerlinNoise {
public:
    HPI_SERVICES_API CPerlinBump();
    CPerlinBump& operator=(const CPerlinBump& other);
    // Bump field: noise raised to a power, for small isolated hills.
    HPI_SERVICES_API double Bump2D(double x, double y, int octaves);

protected:
    double sharpness_;
};

// The stand-in host's layout; the copy-assignment operators copy this many bytes.
static_assert(sizeof(CPerlinNoise) == 8 + 4 * 8 + 256, "CPerlinNoise layout of the stand-in host");
static_assert(sizeof(CPerlinCloud) == sizeof(CPerlinNoise) + 8, "CPerlinCloud layout");
static_assert(sizeof(CPerlinBump) == sizeof(CPerlinNoise) + 8, "CPerlinBump layout");
