// devhost's map view: shaded relief of the active base map, drawn from the view's block
// source (display cache, then the plug-ins' block requests, then the file). A press is
// offered to the plug-ins' view hooks first; when none takes it, dragging scrolls.
// The wheel zooms: z > 0 pixels per sample, z < 0 samples per pixel.
#pragma once

#include <windows.h>

#include <string>

#include "host/hpi.h"

namespace devhost {

const HPI_HANDLE kViewHandle = 1;

HWND CreateMapView(HWND parent, HINSTANCE instance);
// Shows a newly opened map (0: none), centred, at zoom 1.
void SetViewMap(HWND view, HPI_HANDLE map);
void SetViewZoom(HWND view, int zoom);
// Centres the view on a mesh position.
void SetViewCentre(HWND view, double column, double row);
// A client pixel that shows the mesh cell holding (column, row): CellToPixel.
POINT MeshToViewPixel(HWND view, double column, double row);
// The view event record (pixel and geographic position) for a client pixel.
HPI_VIEWEVENT ViewEventAt(HWND view, int x, int y);
// The mesh cell that the next pointer messages stand for, when a script names cells:
// zoomed out, cells share a pixel, and the pixel alone would name one of the others.
// Off again with ClearScriptedCell.
void SetScriptedCell(HWND view, double column, double row);
void ClearScriptedCell(HWND view);
// Line for the status bar: mesh column/row and altitude under a pixel, and the zoom.
std::wstring DescribeViewPixel(HWND view, int x, int y);

}  // namespace devhost
