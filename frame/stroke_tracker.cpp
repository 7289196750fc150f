#include "frame/stroke_tracker.h"

#include "engine/mesh_line.h"
#include "frame/module.h"
#include "frame/registry.h"
#include "frame/trail_spans.h"
#include "host/hpi_win.h"

int TrailRadius(int zoom, int size) {
    if (zoom >= 0) return zoom * size;
    return size / -zoom;
}

int CStrokeTracker::Begin(unsigned pressedView, GEOPOS position, int x, int y, const StrokeBrush& brush) {
    tracking = 1;
    view = pressedView;
    viewWindow = HPI_GetHwnd(view);
    map = HPI_GetActiveBaseMap();
    if (!EnsureEditor(map)) {
        tracking = 0;
        return 0;
    }
    ::SetCapture(viewWindow);
    brushSize = brush.size;
    MapSetBrush(map, brush.size, brush.method, brush.altitude, brush.strength, brush.shape);
    MapBeginStroke(map);
    ToMesh(position, &startColumn, &startRow);
    startX = x;
    startY = y;
    return 1;
}

void CStrokeTracker::ToMesh(GEOPOS position, int32_t* column, int32_t* row) const {
    long x = 0, y = 0;
    HPI_PosToMesh(map, position, &x, &y);
    *column = static_cast<int32_t>(x);
    *row = static_cast<int32_t>(y);
}

void CStrokeTracker::TakeEndPoint(GEOPOS position, int x, int y) {
    ToMesh(position, &endColumn, &endRow);
    endX = x;
    endY = y;
    DrawTrail();
    MapPaintLine(map, startColumn, startRow, endColumn, endRow);
}

int CStrokeTracker::Move(GEOPOS position, int x, int y) {
    if (tracking == 0) return 0;
    TakeEndPoint(position, x, y);
    startColumn = endColumn;
    startRow = endRow;
    startX = endX;
    startY = endY;
    return 1;
}

int CStrokeTracker::End(GEOPOS position, int x, int y) {
    if (tracking == 0) return 0;
    TakeEndPoint(position, x, y);
    MapCommitStroke(map);
    MapPushToHost(map);
    HPI_UpdateView(view, 1);
    ::ReleaseCapture();
    tracking = 0;
    return 1;
}

// The pixel line is walked as the brush line is, by the one line walker. The spans draw
// what one Ellipse per point would; the Ellipse calls are left when they cannot.
void CStrokeTracker::DrawTrail() {
    HDC dc = ::GetDC(viewWindow);
    if (dc == nullptr) return;
    int r = TrailRadius(HPI_GetZoomView(view), brushSize);
    TrailStretch stretch{MeshLine(startX, startY, endX, endY), 0, -1};
    if (ClipToVisible(dc, r, &stretch) && !FillTrail(dc, stretch, r)) DrawTrailDiscs(dc, stretch, r);
    ::ReleaseDC(viewWindow, dc);
}
