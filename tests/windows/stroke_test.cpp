// Strokes from the view hook of the real module to the saved map file: the press,
// moves and release, the trail, undo, and the cases that must neither crash nor write.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "engine/brush_kernel.h"
#include "engine/map_editor.h"
#include "frame/stroke_tracker.h"
#include "frame/trail_spans.h"
#include "module/statics.h"
#include "host/hpi_win.h"
#include "res/resource.h"
#include "devhost/app/main_window.h"
#include "devhost/app/report.h"
#include "tests/windows/map_fixture.h"

namespace {

int16_t Ground(int row, int col) { return static_cast<int16_t>(300 + (row * 7 + col * 3) % 400); }

const TestMap kMap = {"stroke", 35.0, 139.0, 0.001, 0.001, Ground};

GEOPOS Geo(int column, int row) { return CellCentre(kMap, column, row); }

class StrokeTest : public MapViewFixture {
protected:
    StrokeTest() : MapViewFixture(kMap) {}

    long Event(int event, int column, int row, int x = 5, int y = 5) {
        HPI_VIEWEVENT record = {x, y, Geo(column, row)};
        return viewHook_(event, kView, reinterpret_cast<intptr_t>(&record));
    }
    long Tracking() { return viewHook_(kEventViewTracking, kView, 0); }

};

TEST_F(StrokeTest, DragRaisesExactlyAsTheKernelPredictsAndNothingElse) {
    ASSERT_NE(nullptr, Open());
    const int points[][2] = {{300, 100}, {310, 104}, {330, 110}, {345, 118}};
    EXPECT_EQ(1, Event(kEventViewPress, points[0][0], points[0][1]));
    EXPECT_EQ(1, Tracking());
    for (int i = 1; i < 3; ++i) EXPECT_EQ(0, Event(kEventViewMove, points[i][0], points[i][1]));
    EXPECT_EQ(0, Event(kEventViewRelease, points[3][0], points[3][1]));
    EXPECT_EQ(0, Tracking());
    EXPECT_GT(DH_DisplayCacheCount(map_), 0) << "the stroke was pushed to the host";
    ASSERT_EQ(1, DH_SaveMap(map_));

    // The same stroke with the palette's defaults: size 20, strength 0.5, shape 0.
    std::string before = Utf8(TestFolder()) + "stroke-reference.map";
    {
        std::FILE* file = std::fopen(before.c_str(), "wb");
        std::fwrite(original_.data(), 1, original_.size(), file);
        std::fclose(file);
    }
    HPI_HANDLE original = DH_OpenMap(before.c_str(), nullptr, 0);
    CBrushKernel kernel;
    kernel.Build(20, 1, 500, 0.5, 0.0);
    CMapEditor expected;
    expected.SetMap(original);
    expected.SetBrush(&kernel);
    for (int i = 0; i < 3; ++i) expected.PaintLine(points[i][0], points[i][1], points[i + 1][0], points[i + 1][1]);
    expected.CommitStroke();

    MapFileReader saved;
    std::string error;
    ASSERT_TRUE(saved.Open(path_, &error)) << error;
    std::vector<int16_t> samples(kMapBlockSamples), want(kMapBlockSamples);
    int changedBlocks = 0;
    for (int32_t code : {0, 1, 100, 101}) {
        ASSERT_TRUE(saved.ReadBlock(code, samples.data(), &error));
        const int16_t* edited = expected.FindBlock(code);
        if (edited != nullptr) {
            ++changedBlocks;
            EXPECT_EQ(0, std::memcmp(edited, samples.data(), kMapBlockBytes)) << "block " << code;
        } else {
            HPI_GetMapBlock(original, code * 100, want.data(), 2);
            EXPECT_EQ(0, std::memcmp(want.data(), samples.data(), kMapBlockBytes)) << "untouched block " << code;
        }
    }
    EXPECT_EQ(2, changedBlocks) << "the stroke crosses from block 0 into block 1";
    expected.FreeAll();
    DH_CloseMap(original);
    std::remove(before.c_str());
}

TEST_F(StrokeTest, PressAndReleaseInPlaceStampsOnceAndUndoRestoresTheFile) {
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    EXPECT_EQ(1, Event(kEventViewPress, 50, 60));
    EXPECT_EQ(0, Event(kEventViewRelease, 50, 60));
    EXPECT_EQ(1, DH_DisplayCacheCount(map_));
    std::vector<short> shown(kMapBlockSamples);
    DH_ReadViewBlock(map_, 0, shown.data());
    EXPECT_EQ(Ground(60, 50) + (4 * 127 * 255) / 255, shown[60 * 320 + 50]) << "the centre, full weight";
    EXPECT_EQ(Ground(60, 70), shown[60 * 320 + 70]) << "beyond the radius";

    Click(palette, IDC_UNDO_BUTTON);
    PumpMessages();
    DH_ReadViewBlock(map_, 0, shown.data());
    EXPECT_EQ(Ground(60, 50), shown[60 * 320 + 50]) << "undo pushed the old samples";
    ASSERT_EQ(1, DH_SaveMap(map_));
    MapFileReader saved;
    std::string error;
    ASSERT_TRUE(saved.Open(path_, &error));
    std::vector<int16_t> samples(kMapBlockSamples);
    ASSERT_TRUE(saved.ReadBlock(0, samples.data(), &error));
    for (int r = 0; r < 320; ++r) {
        for (int c = 0; c < 320; ++c) ASSERT_EQ(Ground(r, c), samples[r * 320 + c]) << r << "," << c;
    }
    Click(palette, IDC_UNDO_BUTTON);  // a second undo changes nothing
    PumpMessages();
    DH_ReadViewBlock(map_, 0, shown.data());
    EXPECT_EQ(Ground(60, 50), shown[60 * 320 + 50]);
}

BOOL WINAPI LockFileExUnsupported(HANDLE, DWORD, DWORD, DWORD, DWORD, LPOVERLAPPED) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

// Where the system cannot lock the map at all (LockFileEx fails, and not because another
// program holds the lock), a save is refused with the system's reason; the question asked
// then is answered no when nobody is there, and a save allowed without the lock goes on.
TEST_F(StrokeTest, ASaveTheSystemCannotLockIsRefusedUnlessAllowed) {
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(1, Event(kEventViewPress, 50, 60));
    EXPECT_EQ(0, Event(kEventViewRelease, 50, 60));
    HMODULE hpi = nullptr;
    ASSERT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     reinterpret_cast<LPCWSTR>(&DH_SaveMap), &hpi));
    void* real = reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "LockFileEx"));
    ASSERT_TRUE(DH_PatchImport(hpi, "LockFileEx", reinterpret_cast<void*>(LockFileExUnsupported)));
    devhost::SetHeadless(true);
    const struct {
        const char* name;
        bool allowed;
        int saved;
    } rows[] = {{"asked, nobody there to answer", false, 0}, {"allowed beforehand (--no-lock)", true, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DH_AllowUnlockedSaves(row.allowed ? 1 : 0);
        EXPECT_EQ(row.saved, devhost::SaveMapAskingAboutLock(nullptr, map_, nullptr));
        EXPECT_EQ(1 - row.saved, DH_LastSaveLockUnavailable());
        const std::string error = DH_LastSaveError();
        if (row.saved == 0) {
            EXPECT_NE(std::string::npos, error.find("cannot lock map file")) << error;
            EXPECT_NE(std::string::npos, error.find("(error 50)")) << error;
            EXPECT_TRUE(original_ == ReadFileBytes(path_)) << "a refused save writes nothing";
        } else {
            EXPECT_FALSE(original_ == ReadFileBytes(path_)) << "the save went ahead";
        }
    }
    DH_AllowUnlockedSaves(0);
    devhost::SetHeadless(false);
    EXPECT_TRUE(DH_PatchImport(hpi, "LockFileEx", real));
}

TEST_F(StrokeTest, MoveAndEndWithoutAPressDoNothing) {
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(0, Event(kEventViewMove, 10, 10));
    EXPECT_EQ(0, Event(kEventViewRelease, 10, 10));
    EXPECT_EQ(0, Tracking());
    EXPECT_EQ(0, DH_DisplayCacheCount(map_));
    EXPECT_EQ(0, g_strokeTracker.Move(Geo(1, 1), 1, 1)) << "the linked tracker, never begun";
    EXPECT_EQ(0, g_strokeTracker.End(Geo(1, 1), 1, 1));
}

TEST_F(StrokeTest, PressOnARefusedMapWarnsAndStartsNothing) {
    ASSERT_NE(nullptr, Open());
    DH_CloseMap(map_);  // the active base map is gone
    int boxes = DH_MessageBoxCount();
    EXPECT_EQ(1, Event(kEventViewPress, 10, 10)) << "the press is the plug-in's either way";
    EXPECT_EQ(0, Tracking());
    EXPECT_EQ(boxes + 1, DH_MessageBoxCount());
    EXPECT_EQ(0, Event(kEventViewRelease, 10, 10));
    map_ = DH_OpenMap(path_.c_str(), nullptr, 0);
    EXPECT_EQ(original_, ReadFileBytes(path_)) << "nothing was written";
}

TEST_F(StrokeTest, MapClosedDuringAStrokeNeitherCrashesNorWrites) {
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(1, Event(kEventViewPress, 100, 100));
    EXPECT_EQ(0, Event(kEventViewMove, 120, 100));
    DH_CloseMap(map_);  // event 206 discards the editor mid-stroke
    EXPECT_EQ(0, Event(kEventViewMove, 140, 100));
    EXPECT_EQ(0, Event(kEventViewRelease, 150, 100));
    EXPECT_EQ(0, Tracking());
    EXPECT_EQ(original_, ReadFileBytes(path_));
    map_ = DH_OpenMap(path_.c_str(), nullptr, 0);
}

TEST(TrailTest, RadiusAndPoints) {
    const struct {
        int zoom, size, radius;
    } rows[] = {{2, 5, 10}, {1, 20, 20}, {0, 5, 0}, {-3, 5, 1}, {-8, 5, 0}, {-2, 32, 16}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.radius, TrailRadius(row.zoom, row.size)) << "zoom " << row.zoom << " size " << row.size;
    }
    std::vector<POINT> points;
    const MeshLine line(0, 0, 4, 1);
    line.Walk(0, line.Steps(), [&points](int64_t x, int64_t y) { points.push_back(POINT{LONG(x), LONG(y)}); });
    const POINT expected[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}};
    ASSERT_EQ(5u, points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(expected[i].x, points[i].x) << i;
        EXPECT_EQ(expected[i].y, points[i].y) << i;
    }
    EXPECT_EQ(0, MeshLine(7, 7, 7, 7).Steps());
}

TEST_F(StrokeTest, TrailDiscsAreWhiteOnTheView) {
    ASSERT_NE(nullptr, Open());
    DH_SetView(kView, view_, 2, Geo(320, 320));
    // Size 5 at zoom 2: discs of radius 10 at the pixel line from (40, 40) to (60, 40).
    HWND palette = FindPalette();
    ::SendDlgItemMessageW(palette, IDC_SIZE_SLIDER, TBM_SETPOS, TRUE, 5);
    ::UpdateWindow(view_);
    HDC before = ::GetDC(view_);
    COLORREF background = ::GetPixel(before, 50, 52);
    ::ReleaseDC(view_, before);
    ASSERT_NE(RGB(255, 255, 255), background);
    EXPECT_EQ(1, Event(kEventViewPress, 100, 100, 40, 40));
    EXPECT_EQ(0, Event(kEventViewMove, 101, 100, 60, 40));
    HDC dc = ::GetDC(view_);
    COLORREF inside = ::GetPixel(dc, 50, 45);
    COLORREF edge = ::GetPixel(dc, 40, 49);
    COLORREF outside = ::GetPixel(dc, 50, 52);
    ::ReleaseDC(view_, dc);
    EXPECT_EQ(RGB(255, 255, 255), inside);
    EXPECT_EQ(RGB(255, 255, 255), edge) << "radius 10 reaches 9 pixels below the centre";
    EXPECT_EQ(background, outside) << "beyond the radius the view is untouched";
    Event(kEventViewRelease, 101, 100, 60, 40);
}

}  // namespace

namespace {

// The view's client pixels, colour only.
std::vector<uint32_t> ViewPixels(HWND view) {
    RECT client;
    ::GetClientRect(view, &client);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = ::GetDC(view);
    HDC memory = ::CreateCompatibleDC(dc);
    HBITMAP section = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, section);
    ::BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ::GdiFlush();
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                                 static_cast<const uint32_t*>(bits) + client.right * client.bottom);
    for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    ::SelectObject(memory, old);
    ::DeleteObject(section);
    ::DeleteDC(memory);
    ::ReleaseDC(view, dc);
    return pixels;
}

void Repaint(HWND view) {
    ::InvalidateRect(view, nullptr, TRUE);
    ::UpdateWindow(view);
}

}  // namespace

// The trail a move draws has exactly the pixels of one Ellipse per point, at the zooms
// and sizes that give large, small and empty discs, for moves in every direction and
// discs cut off by the window's edge.
TEST_F(StrokeTest, TrailPixelsAreThoseOfOneEllipsePerPoint) {
    ASSERT_NE(nullptr, Open());
    HWND palette = FindPalette();
    const int moves[][4] = {{40, 40, 40, 40}, {30, 60, 90, 75}, {100, 20, 92, 150},
                            {60, 60, 110, 110}, {150, 150, 20, 30}, {190, 10, 5, 195}};
    for (int zoom : {2, -3, -8}) {
        for (int size : {32, 5, 1}) {
            DH_SetView(kView, view_, zoom, Geo(320, 320));
            ::SendDlgItemMessageW(palette, IDC_SIZE_SLIDER, TBM_SETPOS, TRUE, size);
            for (const auto& move : moves) {
                Repaint(view_);
                HDC dc = ::GetDC(view_);
                const TrailStretch all{MeshLine(move[0], move[1], move[2], move[3]), 0,
                                       MeshLine(move[0], move[1], move[2], move[3]).Steps()};
                DrawTrailDiscs(dc, all, TrailRadius(zoom, size));
                ::ReleaseDC(view_, dc);
                std::vector<uint32_t> expected = ViewPixels(view_);
                Repaint(view_);
                ASSERT_EQ(1, Event(kEventViewPress, 100, 100, move[0], move[1]));
                Event(kEventViewMove, 101, 100, move[2], move[3]);
                std::vector<uint32_t> drawn = ViewPixels(view_);
                Event(kEventViewRelease, 101, 100, move[2], move[3]);
                size_t white = std::count(expected.begin(), expected.end(), 0xFFFFFFu);
                EXPECT_EQ(TrailRadius(zoom, size) > 0, white > 0) << "zoom " << zoom << " size " << size;
                size_t differing = 0;
                for (size_t i = 0; i < expected.size(); ++i) differing += expected[i] != drawn[i];
                EXPECT_EQ(0u, differing) << "zoom " << zoom << " size " << size << " move " << move[0] << ","
                                         << move[1] << " -> " << move[2] << "," << move[3] << ": " << white
                                         << " white pixels expected";
            }
        }
    }
}
