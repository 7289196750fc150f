// The stroke trail drawn fast: the union of the discs along a move, filled as white
// horizontal spans. The disc's spans are read from a disc that GDI draws
// with the trail's own Ellipse call into a bitmap compatible with the view, so the spans
// cover exactly the pixels the Ellipse calls would.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/mesh_line.h"

// The points of steps first..last of the trail's pixel line, walked as the brush line is.
struct TrailStretch {
    MeshLine line;
    int64_t first;
    int64_t last;
};

// Narrows the stretch to the points whose discs of radius r can reach the device
// context's clip box; false when no disc can.
bool ClipToVisible(HDC dc, int r, TrailStretch* stretch);
// The trail as white Ellipse calls without outline, one per point; needs no memory.
void DrawTrailDiscs(HDC dc, const TrailStretch& stretch, int r);
// Fills the union of the discs of radius r around the stretch's points with the white
// stock brush. False, having drawn nothing, when the disc cannot be measured or memory is
// short; the caller then draws the discs one by one.
bool FillTrail(HDC dc, const TrailStretch& stretch, int r);
