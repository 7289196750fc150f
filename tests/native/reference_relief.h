// The map view's first renderer, kept as the reference the fast one must match pixel for
// pixel: every pixel asks a callback for its sample and its east and south neighbours.
#pragma once

#include <cstdint>
#include <functional>

#include "devhost/app/relief.h"

// Elevation in metres at mesh (column, row); `valid` false outside the map.
typedef std::function<int16_t(int64_t column, int64_t row, bool* valid)> SampleSource;

void ReferenceRenderRelief(const ReliefView& view, const SampleSource& source, uint32_t* pixels);
