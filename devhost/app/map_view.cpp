#include "devhost/app/map_view.h"

#include <windowsx.h>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "devhost/app/block_cache.h"
#include "devhost/app/geo_text.h"
#include "devhost/app/main_window.h"
#include "devhost/app/overview.h"
#include "devhost/app/relief.h"
#include "devhost/hpi/devhost_api.h"
#include "mapstore/map_file.h"

namespace devhost {
namespace {

const wchar_t kViewClass[] = L"DevhostMapView";
const double kMetresPerDegree = 111320.0;
const int kMaxZoom = 16;   // pixels per sample
const int kMinZoom = -64;  // samples per pixel

const UINT_PTR kSurveyTimer = 1;
// Map blocks the survey reduces per timer tick: some 15 ms under Wine.
const int kSurveyBlocksPerTick = 32;

struct ViewState {
    HWND window = nullptr;
    HPI_HANDLE map = 0;
    MapHeader header;
    ReliefView relief;
    bool scrolling = false;
    POINT scrollFrom = {0, 0};
    // A scripted drag's cell, which pointer events report instead of the pixel's.
    bool scriptedCell = false;
    double scriptedColumn = 0, scriptedRow = 0;
    std::vector<uint32_t> pixels;
    BlockCache cache;
    OverviewLevels levels{&cache};
    ReliefRenderer renderer;
    // Blocks changed under the view since it last drew; applied before the next drawing or
    // status line, never from inside the host call that announced them.
    std::set<int32_t> changed;
    bool allChanged = false;
};

ViewState g_view;

void OnBlockChanged(HPI_HANDLE map, int32_t code) {
    if (map != g_view.map) return;
    // One notice in the queue at a time: a stroke changes blocks at every pointer move.
    HWND parent = g_view.window != nullptr ? ::GetParent(g_view.window) : nullptr;
    MSG pending;
    if (parent != nullptr && !::PeekMessageW(&pending, parent, kMessageMapChanged, kMessageMapChanged, PM_NOREMOVE)) {
        ::PostMessageW(parent, kMessageMapChanged, 0, 0);
    }
    if (code < 0) g_view.allChanged = true;
    else g_view.changed.insert(code);
}

void ApplyChanges() {
    if (g_view.allChanged) {
        g_view.levels.AllChanged();
        ::SetTimer(g_view.window, kSurveyTimer, 1, nullptr);
    }
    else for (int32_t code : g_view.changed) g_view.levels.BlockChanged(code);
    g_view.allChanged = false;
    g_view.changed.clear();
}

GEOPOS MeshToGeo(double column, double row) {
    GeoPoint point = MeshToGeoPoint(g_view.header, column, row);
    return GEOPOS{point.lat, point.lon};
}

// Tells the host interface where the view looks now.
void PublishView(HWND view) {
    double column = 0, row = 0;
    PixelToMesh(g_view.relief, g_view.relief.width / 2, g_view.relief.height / 2, &column, &row);
    DH_SetView(kViewHandle, view, g_view.relief.zoom, MeshToGeo(column, row));
}

HPI_VIEWEVENT EventAt(int x, int y) {
    double column = 0, row = 0;
    if (g_view.scriptedCell) {
        column = g_view.scriptedColumn + 0.5;
        row = g_view.scriptedRow + 0.5;
    } else {
        // The centre of the cell the pixel shows, so that the plug-in's HPI_PosToMesh gives
        // that very cell.
        int64_t c = 0, r = 0;
        PixelToCell(g_view.relief, x, y, &c, &r);
        column = c + 0.5;
        row = r + 0.5;
    }
    return HPI_VIEWEVENT{x, y, MeshToGeo(column, row)};
}

LRESULT OnPaint(HWND view) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(view, &paint);
    ReliefView& relief = g_view.relief;
    g_view.pixels.resize(static_cast<size_t>(relief.width) * relief.height);
    if (g_view.map == 0) {
        std::fill(g_view.pixels.begin(), g_view.pixels.end(), 0x00707070u);
    } else if (!g_view.pixels.empty()) {
        ApplyChanges();
        g_view.cache.BeginFrame();
        g_view.renderer.Render(relief, g_view.levels.Grid(ReliefLevelFor(relief.zoom)), g_view.pixels.data());
        g_view.cache.EndFrame();
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = relief.width;
    info.bmiHeader.biHeight = -relief.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (!g_view.pixels.empty()) {
        ::SetDIBitsToDevice(dc, 0, 0, relief.width, relief.height, 0, 0, 0, relief.height,
                            g_view.pixels.data(), &info, DIB_RGB_COLORS);
    }
    ::EndPaint(view, &paint);
    return 0;
}

LRESULT OnSize(HWND view, LPARAM lp) {
    g_view.relief.width = LOWORD(lp);
    g_view.relief.height = HIWORD(lp);
    PublishView(view);
    return 0;
}

LRESULT OnButtonDown(HWND view, LPARAM lp) {
    if (g_view.map == 0) return 0;
    HPI_VIEWEVENT event = EventAt(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    if (DH_SendViewEvent(kEventViewPress, kViewHandle, &event) != 0) return 0;
    g_view.scrolling = true;
    g_view.scrollFrom = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ::SetCapture(view);
    return 0;
}

LRESULT OnMouseMove(HWND view, LPARAM lp) {
    int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
    SetStatusText(::GetParent(view), DescribeViewPixel(view, x, y));
    if (g_view.map == 0) return 0;
    if (g_view.scrolling) {
        double scale = g_view.relief.zoom > 0 ? 1.0 / g_view.relief.zoom : -g_view.relief.zoom;
        g_view.relief.originColumn -= (x - g_view.scrollFrom.x) * scale;
        g_view.relief.originRow -= (y - g_view.scrollFrom.y) * scale;
        g_view.scrollFrom = POINT{x, y};
        PublishView(view);
        ::InvalidateRect(view, nullptr, FALSE);
        return 0;
    }
    HPI_VIEWEVENT event = EventAt(x, y);
    DH_SendViewEvent(kEventViewMove, kViewHandle, &event);
    return 0;
}

LRESULT OnButtonUp(HWND view, LPARAM lp) {
    if (g_view.scrolling) {
        g_view.scrolling = false;
        ::ReleaseCapture();
        return 0;
    }
    if (g_view.map == 0) return 0;
    int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
    HPI_VIEWEVENT event = EventAt(x, y);
    DH_SendViewEvent(kEventViewRelease, kViewHandle, &event);
    // The release commits a stroke: the altitude under the pointer has changed.
    SetStatusText(::GetParent(view), DescribeViewPixel(view, x, y));
    return 0;
}

// Zoom steps skip 0 and -1, which would repeat 1.
int NextZoom(int zoom, bool in) {
    if (in) return zoom == -2 ? 1 : (zoom < kMaxZoom ? zoom + 1 : zoom);
    return zoom == 1 ? -2 : (zoom > kMinZoom ? zoom - 1 : zoom);
}

LRESULT OnMouseWheel(HWND view, WPARAM wp, LPARAM lp) {
    POINT point = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ::ScreenToClient(view, &point);
    double column = 0, row = 0;
    PixelToMesh(g_view.relief, point.x, point.y, &column, &row);
    g_view.relief.zoom = NextZoom(g_view.relief.zoom, GET_WHEEL_DELTA_WPARAM(wp) > 0);
    double x = 0, y = 0;
    MeshToPixel(g_view.relief, column, row, &x, &y);
    double scale = g_view.relief.zoom > 0 ? 1.0 / g_view.relief.zoom : -g_view.relief.zoom;
    g_view.relief.originColumn += (x - point.x - 0.5) * scale;
    g_view.relief.originRow += (y - point.y - 0.5) * scale;
    PublishView(view);
    SetStatusText(::GetParent(view), DescribeViewPixel(view, point.x, point.y));
    ::InvalidateRect(view, nullptr, FALSE);
    return 0;
}

// Idle time goes to the overview survey until the whole map is done.
LRESULT OnTimer(HWND view, WPARAM id) {
    if (id != kSurveyTimer) return 0;
    ApplyChanges();
    if (g_view.map == 0 || !g_view.levels.Survey(kSurveyBlocksPerTick)) ::KillTimer(view, kSurveyTimer);
    return 0;
}

LRESULT CALLBACK MapViewProc(HWND view, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        return OnPaint(view);
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        return OnSize(view, lp);
    case WM_LBUTTONDOWN:
        return OnButtonDown(view, lp);
    case WM_MOUSEMOVE:
        return OnMouseMove(view, lp);
    case WM_LBUTTONUP:
        return OnButtonUp(view, lp);
    case WM_MOUSEWHEEL:
        return OnMouseWheel(view, wp, lp);
    case WM_TIMER:
        return OnTimer(view, wp);
    default:
        return ::DefWindowProcW(view, msg, wp, lp);
    }
}

}  // namespace

HWND CreateMapView(HWND parent, HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MapViewProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kViewClass;
    ::RegisterClassExW(&windowClass);
    DH_SetBlockChangeHook(OnBlockChanged);
    g_view.window = ::CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100,
                                      parent, nullptr, instance, nullptr);
    return g_view.window;
}

void SetViewMap(HWND view, HPI_HANDLE map) {
    g_view.map = 0;
    if (map != 0 && DH_GetMapHeader(map, &g_view.header)) g_view.map = map;
    g_view.changed.clear();
    g_view.allChanged = false;
    if (g_view.map != 0) {
        // Voids are the map's, as it was imported: shown as voids, kept out of the overviews.
        const MapHeader& header = g_view.header;
        g_view.levels.Reset(header.width, header.height, [map](int32_t code, int16_t* samples) {
            if (!DH_ReadViewBlock(map, code, samples)) std::fill(samples, samples + kMapBlockSamples, int16_t(0));
        }, header.hasVoidValue, header.voidValue);
        g_view.renderer.SetVoid(header.hasVoidValue, header.voidValue);
        ::SetTimer(view, kSurveyTimer, 1, nullptr);
    } else {
        g_view.levels.Reset(0, 0, MapBlockReader());
        ::KillTimer(view, kSurveyTimer);
    }
    g_view.relief.zoom = 1;
    if (g_view.map != 0) {
        double latitude = g_view.header.originLat - g_view.header.height * g_view.header.cellLat / 2;
        g_view.relief.cellMetresX = g_view.header.cellLon * kMetresPerDegree * std::cos(latitude * 3.14159265358979 / 180);
        g_view.relief.cellMetresY = g_view.header.cellLat * kMetresPerDegree;
        SetViewCentre(view, g_view.header.width / 2.0, g_view.header.height / 2.0);
    }
    ::InvalidateRect(view, nullptr, FALSE);
}

// Zooms outside the wheel's steps are brought into them.
void SetViewZoom(HWND view, int zoom) {
    zoom = std::min(kMaxZoom, std::max(kMinZoom, zoom));
    if (zoom == 0 || zoom == -1) zoom = 1;
    double column = 0, row = 0;
    PixelToMesh(g_view.relief, g_view.relief.width / 2, g_view.relief.height / 2, &column, &row);
    g_view.relief.zoom = zoom;
    SetViewCentre(view, column, row);
    SetStatusText(::GetParent(view), DescribeViewPixel(view, g_view.relief.width / 2, g_view.relief.height / 2));
}

void SetViewCentre(HWND view, double column, double row) {
    double scale = g_view.relief.zoom > 0 ? 1.0 / g_view.relief.zoom : -g_view.relief.zoom;
    g_view.relief.originColumn = column - (g_view.relief.width / 2 + 0.5) * scale;
    g_view.relief.originRow = row - (g_view.relief.height / 2 + 0.5) * scale;
    PublishView(view);
    ::InvalidateRect(view, nullptr, FALSE);
}

POINT MeshToViewPixel(HWND, double column, double row) {
    int x = 0, y = 0;
    CellToPixel(g_view.relief, static_cast<int64_t>(std::floor(column)), static_cast<int64_t>(std::floor(row)), &x, &y);
    return POINT{x, y};
}

HPI_VIEWEVENT ViewEventAt(HWND, int x, int y) { return EventAt(x, y); }

void SetScriptedCell(HWND, double column, double row) {
    g_view.scriptedCell = true;
    g_view.scriptedColumn = std::floor(column);
    g_view.scriptedRow = std::floor(row);
}

void ClearScriptedCell(HWND) { g_view.scriptedCell = false; }

std::wstring DescribeViewPixel(HWND, int x, int y) {
    wchar_t text[160];
    if (g_view.map == 0) {
        std::swprintf(text, 160, L"地図なし  ズーム %d", g_view.relief.zoom);
        return text;
    }
    int64_t c = 0, r = 0;
    PixelToCell(g_view.relief, x, y, &c, &r);
    std::wstring place = GeoText(MeshToGeoPoint(g_view.header, c + 0.5, r + 0.5));  // the cell's centre
    long column = static_cast<long>(c), row = static_cast<long>(r);
    bool inside = column >= 0 && row >= 0 && column < g_view.header.width && row < g_view.header.height;
    if (!inside) {
        std::swprintf(text, 160, L"列 %ld  行 %ld  %ls  (地図外)  ズーム %d", column, row, place.c_str(),
                      g_view.relief.zoom);
        return text;
    }
    ApplyChanges();
    const int16_t* block = g_view.levels.Block(0, row / kMapBlockSide, column / kMapBlockSide);
    int altitude = block[(row % kMapBlockSide) * kMapBlockSide + column % kMapBlockSide];
    if (g_view.header.hasVoidValue && altitude == g_view.header.voidValue) {
        std::swprintf(text, 160, L"列 %ld  行 %ld  %ls  標高 データなし (欠測)  ズーム %d", column, row, place.c_str(),
                      g_view.relief.zoom);
        return text;
    }
    std::swprintf(text, 160, L"列 %ld  行 %ld  %ls  標高 %d m  ズーム %d", column, row, place.c_str(), altitude,
                  g_view.relief.zoom);
    return text;
}

}  // namespace devhost
