// A stand-in for the host's libraries as the Microsoft compiler builds them: compiled by
// clang in that mode (--target=i686-pc-windows-msvc) and linked by lld-link with no C
// runtime. The declarations here are the host's own, written from its side and not taken
// from the plug-in's headers, so a wrong declaration on the plug-in's side shows up as a
// wrong value in the test that calls these (tests/windows/host_abi_test.cpp).
//
// Each result mixes every argument in a way that tells them apart, so a swapped, dropped or
// misread argument changes it.

extern "C" int _fltused = 0;

struct GEOPOS {
    double lat;
    double lon;
};

struct SIZE {
    long cx;
    long cy;
};

#define HOST_EXPORT __declspec(dllexport)

extern "C" {

HOST_EXPORT SIZE HPI_GetMeshSize(unsigned map, double lat) {
    SIZE size;
    size.cx = static_cast<long>(map * 10 + lat);
    size.cy = static_cast<long>(map - lat);
    return size;
}

HOST_EXPORT void HPI_PosToMesh(unsigned map, GEOPOS pos, long* x, long* y) {
    *x = static_cast<long>(pos.lon * 100) + static_cast<long>(map);
    *y = static_cast<long>(pos.lat * 100) - static_cast<long>(map);
}

HOST_EXPORT void HPI_GetViewCenter(unsigned view, GEOPOS* pos) {
    pos->lat = view + 0.5;
    pos->lon = -static_cast<double>(view);
}

HOST_EXPORT int HPI_GetMapBlock(unsigned map, long blockId, short* samples, unsigned source) {
    samples[0] = static_cast<short>(map);
    samples[1] = static_cast<short>(blockId / 100);
    samples[2] = static_cast<short>(source);
    return static_cast<int>(blockId + source);
}

HOST_EXPORT unsigned HPI_GetProfileInt(unsigned plugin, const char* key, int value) {
    return plugin * 1000 + static_cast<unsigned>(key[0]) + static_cast<unsigned>(value);
}

}  // extern "C"

namespace {
int g_destroyed = 0;
}

// Far larger than the stand-in host's layout, as a real host's object may be: a module
// that guessed the size would have its heap overrun by the constructor.
class CPerlinNoise {
public:
    int enabled;

    HOST_EXPORT CPerlinNoise();
    HOST_EXPORT ~CPerlinNoise();
    HOST_EXPORT void Create(double persistence, double scaleX, double scaleY, double seed);
    HOST_EXPORT int GetOctaves(double& spacing, double& finest);
    HOST_EXPORT double PerlinNoise2D(double x, double y, int octaves);

private:
    double persistence_, scaleX_, scaleY_, seed_;
    unsigned char rest_[1900];
    int canary_;
};

CPerlinNoise::CPerlinNoise() : enabled(-7), persistence_(0), scaleX_(0), scaleY_(0), seed_(0), canary_(0x5EED) {}

CPerlinNoise::~CPerlinNoise() {
    if (canary_ == 0x5EED) ++g_destroyed;
}

void CPerlinNoise::Create(double persistence, double scaleX, double scaleY, double seed) {
    persistence_ = persistence;
    scaleX_ = scaleX;
    scaleY_ = scaleY;
    seed_ = seed;
}

// Returns its inputs' mix before writing new values through both references.
int CPerlinNoise::GetOctaves(double& spacing, double& finest) {
    int result = static_cast<int>(spacing * 10 + finest) + enabled * 1000;
    spacing = persistence_ + scaleX_;
    finest = scaleY_ - seed_;
    return result;
}

double CPerlinNoise::PerlinNoise2D(double x, double y, int octaves) {
    return x * 1000 + y + octaves * 0.125 + persistence_ + seed_ / 64;
}

// How many objects were destroyed with their canary intact.
extern "C" HOST_EXPORT int CheckDestroyedNoiseCount() { return g_destroyed; }
