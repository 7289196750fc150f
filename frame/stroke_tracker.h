// Turns a left-button drag in a map view into one brush stroke: the press starts it on
// the active base map, each move draws the trail and stamps the brush along the mesh
// line, the release commits, pushes the changed blocks and redraws. One static instance.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/hpi.h"
#include "platform/afx.h"

// The brush a stroke paints with, as the palette holds it when the button goes down.
struct StrokeBrush {
    int32_t method;
    int32_t size;  // radius in samples; also sizes the trail
    int32_t altitude;
    double strength;
    double shape;
};

class CStrokeTracker : public CObject {
public:
    CStrokeTracker() = default;
    ~CStrokeTracker() override { tracking = 0; }

    // 1 when a stroke has started; 0 when the map cannot be edited.
    int Begin(unsigned pressedView, GEOPOS position, int x, int y, const StrokeBrush& brush);
    // 0 when no stroke is under way, else 1.
    int Move(GEOPOS position, int x, int y);
    int End(GEOPOS position, int x, int y);
    int IsTracking() const { return tracking; }
    // White discs without outline along the pixel line from the start to the end point.
    void DrawTrail();

    int32_t tracking = 0;
    uint32_t view = 0;
    HWND viewWindow = nullptr;
    uint32_t map = 0;
    int32_t startColumn = 0;
    int32_t startRow = 0;
    int32_t endColumn = 0;
    int32_t endRow = 0;
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t endX = 0;
    int32_t endY = 0;
    int32_t brushSize = 0;

private:
    // Mesh column and row of a position on the stroke's map.
    void ToMesh(GEOPOS position, int32_t* column, int32_t* row) const;
    void TakeEndPoint(GEOPOS position, int x, int y);
};

// Trail disc radius in window pixels: zoom x size, or size / -zoom when zoomed out.
int TrailRadius(int zoom, int size);
