// The host services library's Perlin-noise family: 2D gradient noise summed over
// octaves. Each object's field is chosen by the seed given to Create (the permutation is
// drawn from it), so the same object and point always give the same value. A field's
// values lie within about -1..+1 (each octave is normalised by the sum of the octave
// amplitudes); the difference of two fields spans about -1..+1.
#include <cmath>
#include <cstring>

#include "host/perlin.h"

namespace {

const int kMaxOctaves = 16;
const double kGradientScale = 1.4142135623730951;  // unit gradients give at most ~0.71

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

double Lerp(double a, double b, double t) { return a + t * (b - a); }

// Eight gradient directions of length 1: the axes and the diagonals. Table look-ups
// rather than a switch, so the hash never costs a mispredicted branch.
const double kDiagonal = 0.7071067811865476;
const double kGradientX[8] = {1, -1, 0, 0, kDiagonal, kDiagonal, -kDiagonal, -kDiagonal};
const double kGradientY[8] = {0, 0, 1, -1, kDiagonal, -kDiagonal, kDiagonal, -kDiagonal};

inline double Gradient(int hash, double x, double y) {
    return kGradientX[hash & 7] * x + kGradientY[hash & 7] * y;
}

// floor() for the coordinates noise sees; a plain call to the C library is far slower.
inline int64_t FloorToInt(double value) {
    int64_t truncated = static_cast<int64_t>(value);
    return truncated - (value < static_cast<double>(truncated) ? 1 : 0);
}

inline double Noise(const uint8_t* perm, double x, double y) {
    int64_t fx = FloorToInt(x), fy = FloorToInt(y);
    int ix = static_cast<int>(fx & 255), iy = static_cast<int>(fy & 255);
    double dx = x - static_cast<double>(fx), dy = y - static_cast<double>(fy);
    int a = perm[ix] + iy, b = perm[(ix + 1) & 255] + iy;
    double n00 = Gradient(perm[a & 255], dx, dy);
    double n10 = Gradient(perm[b & 255], dx - 1.0, dy);
    double n01 = Gradient(perm[(a + 1) & 255], dx, dy - 1.0);
    double n11 = Gradient(perm[(b + 1) & 255], dx - 1.0, dy - 1.0);
    double u = Fade(dx), v = Fade(dy);
    return Lerp(Lerp(n00, n10, u), Lerp(n01, n11, u), v);
}

}  // namespace

CPerlinNoise::CPerlinNoise()
    : enabled(0), persistence_(0.5), scaleX_(1.0), scaleY_(1.0), seed_(0.0), permutation_() {
    for (int i = 0; i < 256; ++i) permutation_[i] = static_cast<uint8_t>(i);
}

CPerlinNoise::~CPerlinNoise() = default;

// Scales below one sample are raised to one, so a field never divides by zero.
void CPerlinNoise::Create(double persistence, double scaleX, double scaleY, double seed) {
    persistence_ = std::isfinite(persistence) ? persistence : 0.5;
    scaleX_ = std::isfinite(scaleX) && scaleX >= 1.0 ? scaleX : 1.0;
    scaleY_ = std::isfinite(scaleY) && scaleY >= 1.0 ? scaleY : 1.0;
    seed_ = seed;
    uint64_t state = 0;
    std::memcpy(&state, &seed, sizeof state);
    for (int i = 0; i < 256; ++i) permutation_[i] = static_cast<uint8_t>(i);
    for (int i = 255; i > 0; --i) {
        int j = static_cast<int>(SplitMix(state) % static_cast<uint64_t>(i + 1));
        uint8_t swap = permutation_[i];
        permutation_[i] = permutation_[j];
        permutation_[j] = swap;
    }
}

// Octaves until the finest one's wavelength comes down to `finest` samples at the given
// sample spacing; the result is that count minus one.
int CPerlinNoise::GetOctaves(double& spacing, double& finest) {
    double largest = (scaleX_ > scaleY_ ? scaleX_ : scaleY_) * (spacing > 0 ? spacing : 1.0);
    double smallest = finest > 0 ? finest : 1.0;
    int count = 1;
    while (count < kMaxOctaves && largest / (1 << count) >= smallest * 2) ++count;
    return count - 1;
}

double CPerlinNoise::PerlinNoise2D(double x, double y, int octaves) {
    if (octaves < 1) return 0.0;
    if (octaves > kMaxOctaves) octaves = kMaxOctaves;
    double fx = x / scaleX_, fy = y / scaleY_;
    double amplitude = 1.0, total = 0.0, weight = 0.0;
    for (int octave = 0; octave < octaves; ++octave) {
        total += amplitude * Noise(permutation_, fx, fy);
        weight += amplitude;
        amplitude *= persistence_;
        fx *= 2.0;
        fy *= 2.0;
    }
    return weight > 0 ? total * kGradientScale / weight : 0.0;
}

CPerlinCloud::CPerlinCloud() : softness_(1.0) {}

double CPerlinCloud::Cloud2D(double x, double y, int octaves) {
    return std::fabs(PerlinNoise2D(x, y, octaves)) * softness_;
}

CPerlinBump::CPerlinBump() : sharpness_(2.0) {}

double CPerlinBump::Bump2D(double x, double y, int octaves) {
    double value = PerlinNoise2D(x, y, octaves);
    return value > 0 ? std::pow(value, sharpness_) : 0.0;
}
