// The host services library's Perlin-noise family: 2D gradient noise summed over
// octaves. Each object's field is chosen by the seed given to Create (the permutation is
// drawn from it), so the same object and point always give the same value. A field's
// values lie within about -1..+1 (each octave is normalised by the sum of the octave
// amplitudes); the difference of two fields spans about -1..+1.
#include <emmintrin.h>

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

inline __m128d FadePair(__m128d t) {
    const __m128d six = _mm_set1_pd(6.0), fifteen = _mm_set1_pd(15.0), ten = _mm_set1_pd(10.0);
    __m128d cube = _mm_mul_pd(_mm_mul_pd(t, t), t);
    __m128d inner = _mm_add_pd(_mm_mul_pd(t, _mm_sub_pd(_mm_mul_pd(t, six), fifteen)), ten);
    return _mm_mul_pd(cube, inner);
}

inline __m128d LerpPair(__m128d a, __m128d b, __m128d t) { return _mm_add_pd(a, _mm_mul_pd(t, _mm_sub_pd(b, a))); }

inline __m128d GradientPair(__m128d gx, __m128d gy, __m128d x, __m128d y) {
    return _mm_add_pd(_mm_mul_pd(gx, x), _mm_mul_pd(gy, y));
}

// The same directions as x, y pairs, for gathering the two lanes' directions.
alignas(16) const double kGradientPairs[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {kDiagonal, kDiagonal},
                                                 {kDiagonal, -kDiagonal}, {-kDiagonal, kDiagonal},
                                                 {-kDiagonal, -kDiagonal}};

// floor() of both lanes, as doubles and as integers. Lanes within the int32 range convert
// together; others go through FloorToInt one at a time. Both ways are exact.
inline __m128d FloorPair(__m128d value, int64_t floors[2]) {
    __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), value);
    if (_mm_movemask_pd(_mm_cmplt_pd(magnitude, _mm_set1_pd(2147483647.0))) == 3) {
        __m128i truncated = _mm_cvttpd_epi32(value);
        __m128d back = _mm_cvtepi32_pd(truncated);
        __m128d below = _mm_cmplt_pd(value, back);
        int belowMask = _mm_movemask_pd(below);
        floors[0] = _mm_cvtsi128_si32(truncated) - (belowMask & 1);
        floors[1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(truncated, 1)) - (belowMask >> 1);
        return _mm_sub_pd(back, _mm_and_pd(below, _mm_set1_pd(1.0)));
    }
    alignas(16) double lanes[2];
    _mm_store_pd(lanes, value);
    floors[0] = FloorToInt(lanes[0]);
    floors[1] = FloorToInt(lanes[1]);
    return _mm_set_pd(static_cast<double>(floors[1]), static_cast<double>(floors[0]));
}

// Noise at two points at once, one in each lane. Each lane performs Noise's operations in
// Noise's order, with no fused multiply-add, so either lane equals Noise at its point.
inline __m128d NoisePair(const uint8_t* perm, __m128d x, __m128d y) {
    int64_t fx[2], fy[2];
    __m128d dx = _mm_sub_pd(x, FloorPair(x, fx));
    __m128d dy = _mm_sub_pd(y, FloorPair(y, fy));
    __m128d corner[4][2];  // per corner 00, 10, 01, 11 and lane: the direction (x, y)
    for (int lane = 0; lane < 2; ++lane) {
        int ix = static_cast<int>(fx[lane] & 255), iy = static_cast<int>(fy[lane] & 255);
        int a = perm[ix] + iy, b = perm[(ix + 1) & 255] + iy;
        corner[0][lane] = _mm_load_pd(kGradientPairs[perm[a & 255] & 7]);
        corner[1][lane] = _mm_load_pd(kGradientPairs[perm[b & 255] & 7]);
        corner[2][lane] = _mm_load_pd(kGradientPairs[perm[(a + 1) & 255] & 7]);
        corner[3][lane] = _mm_load_pd(kGradientPairs[perm[(b + 1) & 255] & 7]);
    }
    __m128d gx[4], gy[4];
    for (int c = 0; c < 4; ++c) {
        gx[c] = _mm_unpacklo_pd(corner[c][0], corner[c][1]);
        gy[c] = _mm_unpackhi_pd(corner[c][0], corner[c][1]);
    }
    const __m128d one = _mm_set1_pd(1.0);
    __m128d dx1 = _mm_sub_pd(dx, one), dy1 = _mm_sub_pd(dy, one);
    __m128d n00 = GradientPair(gx[0], gy[0], dx, dy);
    __m128d n10 = GradientPair(gx[1], gy[1], dx1, dy);
    __m128d n01 = GradientPair(gx[2], gy[2], dx, dy1);
    __m128d n11 = GradientPair(gx[3], gy[3], dx1, dy1);
    __m128d u = FadePair(dx), v = FadePair(dy);
    return LerpPair(LerpPair(n00, n10, u), LerpPair(n01, n11, u), v);
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
    // Octaves two at a time, the second in the high lane at twice the coordinates (doubling
    // is exact); the weighted values are still added to the total one octave after the other.
    __m128d px = _mm_set_pd(fx * 2.0, fx), py = _mm_set_pd(fy * 2.0, fy);
    const __m128d four = _mm_set1_pd(4.0);
    int octave = 0;
    for (; octave + 1 < octaves; octave += 2) {
        double nextAmplitude = amplitude * persistence_;
        alignas(16) double weighted[2];
        _mm_store_pd(weighted, _mm_mul_pd(_mm_set_pd(nextAmplitude, amplitude), NoisePair(permutation_, px, py)));
        total += weighted[0];
        total += weighted[1];
        weight += amplitude;
        weight += nextAmplitude;
        amplitude = nextAmplitude * persistence_;
        px = _mm_mul_pd(px, four);
        py = _mm_mul_pd(py, four);
    }
    if (octave < octaves) {
        total += amplitude * Noise(permutation_, _mm_cvtsd_f64(px), _mm_cvtsd_f64(py));
        weight += amplitude;
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
