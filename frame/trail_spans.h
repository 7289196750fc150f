// The stroke trail drawn fast: the union of the discs along a move, filled as white
// horizontal spans. The disc's spans are read from a disc that GDI draws
// with the trail's own Ellipse call into a bitmap compatible with the view, so the spans
// cover exactly the pixels the Ellipse calls would.
#pragma once

#include <windows.h>

#include <vector>

// Fills the union of the discs of radius r around `points` (a pixel line, as TrailPoints
// gives it) with the white stock brush. False, having drawn nothing, when the disc cannot
// be measured; the caller then draws the discs one by one.
bool FillTrail(HDC dc, const std::vector<POINT>& points, int r);
