// devhost's own main window and map view: what a zoomed-out view shows after an edit
// pushed by a plug-in, its undo, a save and a reopen, and what the status bar says.
#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "devhost/app/main_window.h"
#include "devhost/app/map_view.h"
#include "devhost/app/relief.h"
#include "mapstore/map_file.h"
#include "host/hpi_win.h"
#include "host/utf8_win.h"
#include "tests/windows/plugin_fixture.h"

namespace {

const int kStatusBarId = 100;

class MapViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        DH_Reset();
        path_ = Utf8(TestFolder()) + "map-view.map";
        std::remove(path_.c_str());
        std::vector<int16_t> flat(size_t(2000) * 1500, 100);
        ASSERT_NO_FATAL_FAILURE(WriteMap(flat, false));
        window_ = devhost::CreateMainWindow(::GetModuleHandleW(nullptr));
        ASSERT_NE(nullptr, window_);
        ::ShowWindow(window_, SW_SHOWNOACTIVATE);
        view_ = devhost::MapViewOf(window_);
        map_ = devhost::OpenMapFile(window_, Widen(path_));
        ASSERT_NE(0u, map_);
    }
    void TearDown() override {
        DH_SetPaintVoids(0);
        if (HPI_IsOpenedMap(map_)) DH_CloseMap(map_);
        devhost::SetViewMap(view_, 0);
        ::DestroyWindow(window_);
        MSG quit;  // the main window posts a quit when destroyed
        while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        std::remove(path_.c_str());
    }

    // A 2000 x 1500 map of 3-second cells from 36.5 N 84.5 W, -32768 its void value or none.
    void WriteMap(const std::vector<int16_t>& grid, bool voids) {
        MapHeader header;
        header.width = 2000;
        header.height = 1500;
        header.originLat = 36.5;
        header.originLon = -84.5;
        header.cellLat = header.cellLon = 1.0 / 1200;
        header.hasVoidValue = voids;
        header.voidValue = voids ? -32768 : 0;
        std::string error;
        ASSERT_TRUE(CreateMapFile(path_, header, grid.data(), &error)) << error;
    }

    // The map again, 100 m high but for voids (the value -32768) in rows 400..719 and
    // columns 640..959.
    void ReopenWithVoids() {
        if (HPI_IsOpenedMap(map_)) DH_CloseMap(map_);
        std::vector<int16_t> grid(size_t(2000) * 1500, 100);
        for (int r = 400; r < 720; ++r) {
            for (int c = 640; c < 960; ++c) grid[size_t(r) * 2000 + c] = -32768;
        }
        ASSERT_NO_FATAL_FAILURE(WriteMap(grid, true));
        map_ = devhost::OpenMapFile(window_, Widen(path_));
        ASSERT_NE(0u, map_);
    }

    std::wstring Status() {
        wchar_t text[256] = {};
        ::SendMessageW(::GetDlgItem(window_, kStatusBarId), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // Colour the view shows at the centre of a mesh cell, after drawing what is pending.
    COLORREF ShownAt(int column, int row) {
        ::InvalidateRect(view_, nullptr, FALSE);
        ::UpdateWindow(view_);
        POINT pixel = devhost::MeshToViewPixel(view_, column, row);
        HDC dc = ::GetDC(view_);
        COLORREF colour = ::GetPixel(dc, pixel.x, pixel.y);
        ::ReleaseDC(view_, dc);
        return colour;
    }

    std::string path_;
    HWND window_ = nullptr;
    HWND view_ = nullptr;
    HPI_HANDLE map_ = 0;
};

TEST_F(MapViewTest, StatusBarShowsTheZoomAtOnceAndThePlaceUnderThePointer) {
    devhost::SetViewZoom(view_, -8);
    std::wstring status = Status();
    EXPECT_NE(std::wstring::npos, status.find(L"ズーム -8")) << Narrow(status);
    // Zooms beyond the wheel's steps, from a script, stop at its ends.
    devhost::SetViewZoom(view_, INT_MIN);
    EXPECT_NE(std::wstring::npos, Status().find(L"ズーム -64")) << Narrow(Status());
    devhost::SetViewZoom(view_, INT_MAX);
    EXPECT_NE(std::wstring::npos, Status().find(L"ズーム 16")) << Narrow(Status());
    // Cell (0, 0)'s centre: half a 3-second cell south and east of the corner.
    devhost::SetViewZoom(view_, 4);
    POINT corner = devhost::MeshToViewPixel(view_, 0, 0);
    status = devhost::DescribeViewPixel(view_, corner.x, corner.y);
    EXPECT_NE(std::wstring::npos, status.find(L"北緯 36°29'58.5\"  西経 84°29'58.5\"")) << Narrow(status);
    EXPECT_NE(std::wstring::npos, status.find(L"標高 100 m")) << Narrow(status);
}

// At zoom -8 the view draws from an overview level; block 101 (rows and columns
// 320..639) is changed by each step and must show every time.
TEST_F(MapViewTest, ZoomedOutViewFollowsAnEditItsUndoASaveAndAReopen) {
    devhost::SetViewZoom(view_, -8);
    devhost::SetViewCentre(view_, 1000, 750);
    const COLORREF flat = ShownAt(480, 480);
    std::vector<short> high(kMapBlockSamples, 2000), low(kMapBlockSamples, 100);
    HPI_ReplaceCache(map_, 10100, high.data());
    const COLORREF raised = ShownAt(480, 480);
    EXPECT_NE(flat, raised) << "after the edit";
    HPI_ReplaceCache(map_, 10100, low.data());
    EXPECT_EQ(flat, ShownAt(480, 480)) << "after the undo";
    HPI_HANDLE file = HPI_OpenAppendEvm(path_.c_str(), 1);
    ASSERT_NE(0u, file);
    ASSERT_EQ(0u, HPI_AppendBlockEvm(file, 10200, high.data()));
    ASSERT_EQ(0u, HPI_CloseEvm(file));
    EXPECT_EQ(raised, ShownAt(800, 480)) << "after the save";
    DH_CloseMap(map_);
    map_ = devhost::OpenMapFile(window_, Widen(path_));
    ASSERT_NE(0u, map_);
    devhost::SetViewZoom(view_, -8);
    devhost::SetViewCentre(view_, 1000, 750);
    EXPECT_EQ(raised, ShownAt(800, 480)) << "after reopening";
    EXPECT_EQ(flat, ShownAt(480, 480)) << "after reopening";
}

// A stroke is committed at the button's release; the status bar then shows the altitude
// the stroke left under the pointer, not the one before it.
TEST_F(MapViewTest, StatusBarShowsTheAltitudeAfterTheRelease) {
    devhost::SetViewCentre(view_, 480, 480);
    POINT pixel = devhost::MeshToViewPixel(view_, 480, 480);
    ::SendMessageW(view_, WM_MOUSEMOVE, 0, MAKELPARAM(pixel.x, pixel.y));
    EXPECT_NE(std::wstring::npos, Status().find(L"標高 100 m")) << Narrow(Status());
    std::vector<short> dug(kMapBlockSamples, 291);
    HPI_ReplaceCache(map_, 10100, dug.data());  // what a plug-in pushes when it commits
    ::SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(pixel.x, pixel.y));
    EXPECT_NE(std::wstring::npos, Status().find(L"標高 291 m")) << Narrow(Status());
}

// A map imported with a void value shows its voids in a colour of their own, also from
// the overview levels, and the status bar says there is no elevation there instead of
// giving the void value as metres.
TEST_F(MapViewTest, VoidsShowAsVoidsAndTheStatusBarSaysSo) {
    ASSERT_NO_FATAL_FAILURE(ReopenWithVoids());
    const COLORREF kVoid = RGB(0x90, 0x70, 0x90);
    for (int zoom : {1, -8}) {
        devhost::SetViewZoom(view_, zoom);
        devhost::SetViewCentre(view_, 800, 560);
        EXPECT_EQ(kVoid, ShownAt(800, 560)) << "zoom " << zoom << ": inside the voids";
        EXPECT_NE(kVoid, ShownAt(400, 560)) << "zoom " << zoom << ": terrain";
    }
    devhost::SetViewZoom(view_, 1);
    devhost::SetViewCentre(view_, 800, 560);
    POINT pixel = devhost::MeshToViewPixel(view_, 800, 560);
    std::wstring status = devhost::DescribeViewPixel(view_, pixel.x, pixel.y);
    EXPECT_NE(std::wstring::npos, status.find(L"データなし")) << Narrow(status);
    EXPECT_EQ(std::wstring::npos, status.find(L"-32768")) << Narrow(status);
}

// A pushed edit that raises every sample of a block, voids included: the voids stay void
// in the view and the save unless Settings > 欠測セルも塗る is checked, and the status bar
// says how many void cells the edit touched; pushing the same samples again touches none.
TEST_F(MapViewTest, AnEditOverVoidsKeepsThemUnlessPaintingOverThemIsChecked) {
    const long kVoidsInBlock = 240 * 320;  // block 102: rows 320..639, columns 640..959
    HMENU settings = ::GetSubMenu(::GetMenu(window_), 2);
    ASSERT_NE(nullptr, settings);
    const UINT paintVoids = ::GetMenuItemID(settings, 0);
    for (bool paint : {false, true}) {
        SCOPED_TRACE(paint ? "painting over voids" : "keeping voids");
        ASSERT_NO_FATAL_FAILURE(ReopenWithVoids());
        std::string error;
        if (paint != (DH_GetPaintVoids() != 0)) ::SendMessageW(window_, WM_COMMAND, paintVoids, 0);
        EXPECT_EQ(paint, (::GetMenuState(settings, paintVoids, MF_BYCOMMAND) & MF_CHECKED) != 0);
        std::vector<short> block(kMapBlockSamples);
        ASSERT_EQ(1, DH_ReadViewBlock(map_, 102, block.data()));
        for (short& sample : block) sample = static_cast<short>(sample + 45);
        for (int push = 0; push < 2; ++push) {
            HPI_ReplaceCache(map_, 10200, block.data());
            HPI_UpdateView(HPI_GetActiveView(), 1);
            DH_VOIDTALLY last = {};
            ASSERT_EQ(1, DH_GetVoidTally(map_, &last, nullptr));
            EXPECT_EQ(push == 0 ? kVoidsInBlock : 0, last.touched) << "push " << push;
            EXPECT_EQ(push == 0 && !paint ? kVoidsInBlock : 0, last.kept) << "push " << push;
            std::wstring note = devhost::StatusNote(window_);
            if (push == 0) {
                EXPECT_NE(std::wstring::npos, note.find(L"欠測 76800 セル")) << Narrow(note);
                EXPECT_NE(std::wstring::npos, note.find(paint ? L"塗りました" : L"欠測のまま")) << Narrow(note);
            } else {
                EXPECT_EQ(L"", note) << "an edit that touched no void says nothing of voids";
            }
        }
        std::vector<short> shown(kMapBlockSamples);
        ASSERT_EQ(1, DH_ReadViewBlock(map_, 102, shown.data()));
        const int voidCell = (480 - 320) * 320 + (800 - 640), groundCell = 10 * 320 + 10;
        EXPECT_EQ(paint ? -32768 + 45 : -32768, shown[voidCell]);
        EXPECT_EQ(145, shown[groundCell]);
        HPI_HANDLE file = HPI_OpenAppendEvm(path_.c_str(), 1);
        ASSERT_NE(0u, file);
        ASSERT_EQ(0u, HPI_AppendBlockEvm(file, 10200, block.data()));
        ASSERT_EQ(0u, HPI_CloseEvm(file));
        MapFileReader saved;
        std::vector<int16_t> samples(kMapBlockSamples);
        ASSERT_TRUE(saved.Open(path_, &error)) << error;
        ASSERT_TRUE(saved.ReadBlock(102, samples.data(), &error)) << error;
        EXPECT_EQ(paint ? -32768 + 45 : -32768, samples[voidCell]) << "saved";
        EXPECT_EQ(145, samples[groundCell]) << "saved";
    }
    ::SendMessageW(window_, WM_COMMAND, paintVoids, 0);
    EXPECT_EQ(0, DH_GetPaintVoids());
}

}  // namespace
