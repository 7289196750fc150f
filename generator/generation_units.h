// The generation dialog's units, window-free: slider positions and the range shown in
// kilometres against the parameters kept in mesh samples.
//
// Slider ranges: range 1..1000 (tenths of a km), roughness and relief 1..100. Roughness
// position p means persistence 1 - p x 0.01; relief position p magnification
// 10 ^ ((p - 50) x 0.02).
#pragma once

#include "host/wide_text.h"

// Positions of the roughness and relief sliders. Values outside persistence 0..1 and
// magnification 0.1..10 are taken as the nearest end, so a damaged profile value never
// reaches log10 or an out-of-range conversion.
int RoughnessPosition(double persistence);
int ReliefPosition(double magnification);
double PersistenceAt(int roughnessPosition);
double MagnificationAt(int reliefPosition);
// Range slider position: tenths of a km.
int RangePosition(const WideText& rangeText);
// The range box's text for a half-width in mesh samples: km with one decimal.
// `inverseMeshSize` turns metres into mesh samples.
WideText RangeTextOfDist(int dist, double inverseMeshSize);
// The half-width in mesh samples of a typed range in km, truncated and bounded like a
// stored one.
int DistOfRangeText(const WideText& rangeText, double inverseMeshSize);
