// Terrain generation: the parameters of one run, their profile values, the synthesis of
// a square of noise terrain into the editor's stroke blocks and its blend into the map.
//
// Altitudes are metres; Dist is the square's half-width in mesh samples; Persistance is
// the noise persistence (0..1, higher is rougher); Mag the relief magnification
// (0.1..10, larger gives larger landforms). Method: 1 add, 2 subtract, 3 replace.
// Edge (1 smooth, 0 as is) is kept for the dialog but plays no part in the synthesis.
#pragma once

#include <cstdint>

#include "host/hpi.h"

class CMapEditor;

// What the synthesis needs from its progress window.
class GenerationProgress {
public:
    virtual ~GenerationProgress() = default;
    virtual void Open() = 0;
    virtual void SetPos(int percent) = 0;
    virtual void Pump() = 0;
    virtual bool Aborted() const = 0;
    virtual void Close() = 0;
};

enum BlendMethod { kBlendAdd = 1, kBlendSubtract = 2, kBlendReplace = 3 };

// Largest half-width of a generated square, in mesh samples (250 km at 50 m). The square
// then touches at most 33 x 33 blocks, whose map and undo copies take under 460 MB.
const int kMaxGenerationDist = 5000;
// A stored or typed range beyond the largest is taken as the largest.
int BoundGenerationDist(int64_t dist);

class CTerrainGenerator {
public:
    CTerrainGenerator() = default;

    // Each read passes the current value as the default; doubles are stored x 1000
    // truncated and read back as the unsigned stored value x 0.001.
    // `plugin` is the handle the host gave the plug-in; it keys the profile.
    void LoadProfile(HPI_HANDLE plugin);
    void SaveProfile(HPI_HANDLE plugin) const;

    // Fills the square of half-width Dist around (column, row) with noise terrain and
    // blends it into the map, leaving the undo copy in the stroke blocks. 1 when done or
    // aborted, 0 when memory ran short (the rows done are blended). A Method that blends
    // nothing generates nothing and leaves nothing to undo.
    int Generate(CMapEditor& editor, int column, int row, GenerationProgress& progress);
    // Merges one stroke block into its map block by Method; the stroke block then holds
    // the map block as it was. Any other Method changes neither block.
    void Blend(int16_t* mapSamples, int16_t* strokeSamples) const;

    int Edge = 1;
    int Method = kBlendReplace;
    int MaxAlt = 4000;
    int MinAlt = 0;
    int Dist = 160;
    double Persistance = 0.5;
    double Mag = 1.0;
};

// Profile conversions of the two doubles.
int32_t GenerationFractionToProfile(double value);
double GenerationFractionFromProfile(uint32_t stored);
// The stroke value of a generated altitude: max(v, 0) + 1, kept below the int16 limit.
int16_t EncodeGeneratedAltitude(int64_t altitude);
