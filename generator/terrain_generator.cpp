#include "generator/terrain_generator.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include "engine/allocation.h"
#include "engine/block_geometry.h"
#include "engine/map_editor.h"
#include "generator/host_noise.h"
#include "host/hpi.h"

namespace {

const char kKeyEdge[] = "Gen_Edge";
const char kKeyMethod[] = "Gen_Method";
const char kKeyMaxAlt[] = "Gen_MaxAlt";
const char kKeyMinAlt[] = "Gen_MinAlt";
const char kKeyDist[] = "Gen_Dist";
const char kKeyPersistance[] = "Gen_Persistance";
const char kKeyMag[] = "Gen_Mag";
const int kProgressRowStep = 10;
const int kRandMax = 32767;
// The noise's landform size, in mesh samples, at relief magnification 1.
const double kLandformSamplesPerMag = 50.0;

int ReadInt(HPI_HANDLE plugin, const char* key, int current) {
    return static_cast<int>(HPI_GetProfileInt(plugin, key, current));
}

double ReadFraction(HPI_HANDLE plugin, const char* key, double current) {
    return GenerationFractionFromProfile(HPI_GetProfileInt(plugin, key, GenerationFractionToProfile(current)));
}

// (rand() x d x d) / 32767 - d x d / 2, the product formed in 64 bits.
double RandomOffset(int64_t d) {
    int64_t draw = std::rand() % (kRandMax + 1);
    return static_cast<double>((draw * d * d) / kRandMax) - static_cast<double>(d * d) * 0.5;
}

// Rows and columns the square may write: the mesh where every block has its own
// identifier. Anything outside is skipped, never addressed.
struct Span {
    int64_t first;
    int64_t last;  // inclusive; last < first when empty
};

Span Clip(int64_t centre, int64_t d, int64_t limit) {
    return Span{std::max<int64_t>(centre - d, 0), std::min<int64_t>(centre + d - 1, limit - 1)};
}

// Generated altitude at one sample; the noise difference is clamped so the truncation to
// int never overflows, whatever a damaged profile put into the persistence.
int64_t Altitude(const CTerrainGenerator& parameters, double a, double b, int64_t span) {
    double v = parameters.MinAlt + (a - b + 1.0) * static_cast<double>(span) * 0.5;
    v = std::min(std::max(v, -1e15), 1e15);
    return static_cast<int64_t>(v);
}

// Returns false when a stroke block cannot be had. The stroke block is found once per
// run of columns inside one block; samples are visited in column order.
bool GenerateRow(const CTerrainGenerator& parameters, CMapEditor& editor, CPerlinNoise& first,
                 CPerlinNoise& second, int octaves, int64_t row, Span columns, int64_t span) {
    int64_t column = columns.first;
    while (column <= columns.last) {
        int64_t runEnd = std::min<int64_t>(columns.last, (column / kBlockSide + 1) * kBlockSide - 1);
        int32_t code = 0, index = 0;
        if (!LocateSample(column, row, &code, &index)) return true;
        int16_t* stroke = editor.FindOrCreateStrokeBlock(code);
        if (stroke == nullptr) return false;
        for (; column <= runEnd; ++column, ++index) {
            double x = static_cast<double>(column), y = static_cast<double>(row);
            double a = first.PerlinNoise2D(x, y, octaves);
            double b = second.PerlinNoise2D(x, y, octaves);
            stroke[index] = EncodeGeneratedAltitude(Altitude(parameters, a, b, span));
        }
    }
    return true;
}

}  // namespace

int32_t GenerationFractionToProfile(double value) {
    double scaled = value * 1000.0;
    if (!(scaled > INT32_MIN)) return INT32_MIN;
    if (!(scaled < INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(scaled);
}

double GenerationFractionFromProfile(uint32_t stored) { return stored * 0.001; }

int BoundGenerationDist(int64_t dist) {
    return static_cast<int>(std::max<int64_t>(std::min<int64_t>(dist, kMaxGenerationDist), INT_MIN));
}

int16_t EncodeGeneratedAltitude(int64_t altitude) {
    int64_t kept = std::min<int64_t>(std::max<int64_t>(altitude, 0), INT16_MAX - 1);
    return static_cast<int16_t>(kept + 1);
}

void CTerrainGenerator::LoadProfile(HPI_HANDLE plugin) {
    Edge = ReadInt(plugin, kKeyEdge, Edge);
    Method = ReadInt(plugin, kKeyMethod, Method);
    MaxAlt = ReadInt(plugin, kKeyMaxAlt, MaxAlt);
    MinAlt = ReadInt(plugin, kKeyMinAlt, MinAlt);
    Dist = BoundGenerationDist(ReadInt(plugin, kKeyDist, Dist));
    Persistance = ReadFraction(plugin, kKeyPersistance, Persistance);
    Mag = ReadFraction(plugin, kKeyMag, Mag);
}

void CTerrainGenerator::SaveProfile(HPI_HANDLE plugin) const {
    HPI_WriteProfileInt(plugin, kKeyEdge, Edge);
    HPI_WriteProfileInt(plugin, kKeyMethod, Method);
    HPI_WriteProfileInt(plugin, kKeyMaxAlt, MaxAlt);
    HPI_WriteProfileInt(plugin, kKeyMinAlt, MinAlt);
    HPI_WriteProfileInt(plugin, kKeyDist, Dist);
    HPI_WriteProfileInt(plugin, kKeyPersistance, GenerationFractionToProfile(Persistance));
    HPI_WriteProfileInt(plugin, kKeyMag, GenerationFractionToProfile(Mag));
}

int CTerrainGenerator::Generate(CMapEditor& editor, int column, int row, GenerationProgress& progress) {
    if (Method != kBlendAdd && Method != kBlendSubtract && Method != kBlendReplace) {
        editor.ClearStroke();
        return 1;
    }
    ScopedObject<HostNoise> firstNoise(AllocateObject<HostNoise>());
    ScopedObject<HostNoise> secondNoise(AllocateObject<HostNoise>());
    if (!firstNoise || !secondNoise) return 0;
    CPerlinNoise& first = firstNoise->Object();
    CPerlinNoise& second = secondNoise->Object();
    int result = 1;
    // The bounds keep memory in check and d x d x 32767 in 64 bits for any stored Dist,
    // negative ones included (those generate nothing).
    int64_t d = std::max<int64_t>(BoundGenerationDist(Dist), -kMaxMeshColumns);
    double offset1 = RandomOffset(d);
    double offset2 = RandomOffset(d);
    // Both noise layers share the landform size: Mag x 50 samples across, either axis.
    const double landform = Mag * kLandformSamplesPerMag;
    first.enabled = 1;
    first.Create(Persistance, landform, landform, offset1);
    second.enabled = 1;
    second.Create(Persistance, landform, landform, offset2);
    double spacing = 1.0, finest = 1.0;
    int octaves = first.GetOctaves(spacing, finest) + 1;
    progress.Open();
    progress.SetPos(0);
    int64_t span = static_cast<int64_t>(MaxAlt) - MinAlt;
    editor.ClearStroke();

    Span rows = Clip(row, d, kMaxMeshRows);
    Span columns = Clip(column, d, kMaxMeshColumns);
    int64_t firstRow = static_cast<int64_t>(row) - d;
    for (int64_t r = rows.first; r <= rows.last; ++r) {
        if (!GenerateRow(*this, editor, first, second, octaves, r, columns, span)) {
            result = 0;
            break;
        }
        int64_t k = r - firstRow;
        if (k % kProgressRowStep != 0) continue;
        progress.SetPos(static_cast<int>((100 * k) / (2 * d + 1)));
        progress.Pump();
        if (progress.Aborted()) break;
    }
    progress.Close();

    editor.ApplyStrokeBlocks([this](int16_t* map, MapBlock& stroke) { Blend(map, stroke.samples); });
    return result;
}

void CTerrainGenerator::Blend(int16_t* mapSamples, int16_t* strokeSamples) const {
    if (Method != kBlendAdd && Method != kBlendSubtract && Method != kBlendReplace) return;
    for (int k = 0; k < kBlockSamples; ++k) {
        int32_t m = mapSamples[k];
        int32_t s = strokeSamples[k];
        strokeSamples[k] = static_cast<int16_t>(m);
        if (s <= 0) continue;
        int32_t result = Method == kBlendAdd ? m + (s - 1) : Method == kBlendSubtract ? std::max(m - (s - 1), 0) : s - 1;
        mapSamples[k] = static_cast<int16_t>(std::min<int32_t>(result, INT16_MAX));
    }
}
