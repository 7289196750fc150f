#include "frame/stroke_tracker.h"

#include "engine/mesh_line.h"
#include "frame/module.h"
#include "frame/registry.h"
#include "frame/trail_spans.h"
#include "host/hpi_win.h"

// The pixel line is walked as the brush line is, by the one line walker.
std::vector<POINT> TrailPoints(int x0, int y0, int x1, int y1) {
    const MeshLine line(x0, y0, x1, y1);
    std::vector<POINT> points;
    points.reserve(static_cast<size_t>(line.Steps()) + 1);
    line.Walk(0, line.Steps(), [&points](int64_t x, int64_t y) {
        points.push_back(POINT{static_cast<LONG>(x), static_cast<LONG>(y)});
    });
    return points;
}

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

// Draws the trail discs one Ellipse call each: what the spans below must reproduce, and
// what is left when the disc cannot be measured.
void DrawTrailDiscs(HDC dc, const std::vector<POINT>& points, int r) {
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
    HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    for (const POINT& point : points) ::Ellipse(dc, point.x - r, point.y - r, point.x + r, point.y + r);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
}

void CStrokeTracker::DrawTrail() {
    HDC dc = ::GetDC(viewWindow);
    if (dc == nullptr) return;
    int r = TrailRadius(HPI_GetZoomView(view), brushSize);
    std::vector<POINT> points = TrailPoints(startX, startY, endX, endY);
    if (!FillTrail(dc, points, r)) DrawTrailDiscs(dc, points, r);
    ::ReleaseDC(viewWindow, dc);
}
