// The palette window's life: persistence of the brush values, its remembered position,
// Esc and the close box, the menu command while it is open, the tooltips, undo, and a
// screenshot checked for its group frames and method icons.
#include "tests/windows/palette_test_support.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "engine/block_geometry.h"
#include "res/resource.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
// Debian's libstb-dev.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using PaletteWindowTest = PaletteFixture;

POINT TopLeft(HWND window) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    return {rect.left, rect.top};
}

void PressEscape(HWND palette) {
    HWND edit = ::GetDlgItem(palette, IDC_ALTITUDE_EDIT);
    ::SetFocus(edit);
    ::PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(edit, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    PumpMessages();
}

// A position after its trip through the fraction: 29 and 58 drop by one, since
// 0.29 x 100 and 0.58 x 100 fall just short of the whole number and are truncated.
int AfterRoundTrip(int percent) { return percent == 29 ? 28 : percent == 58 ? 57 : percent; }

TEST_F(PaletteWindowTest, EveryPercentFromTheProfileReachesTheSliders) {
    ASSERT_TRUE(Start());
    for (int percent = 0; percent <= 100; ++percent) {
        HPI_WriteProfileInt(kTestPluginHandle, "BrushStrength", percent);
        HPI_WriteProfileInt(kTestPluginHandle, "BrushShape", 100 - percent);
        HWND palette = Open();
        ASSERT_NE(nullptr, palette);
        EXPECT_EQ(AfterRoundTrip(percent), SliderPos(palette, IDC_STRENGTH_SLIDER)) << "stored strength " << percent;
        EXPECT_EQ(AfterRoundTrip(100 - percent), SliderPos(palette, IDC_SHAPE_SLIDER))
            << "stored shape " << 100 - percent;
        close_();
        ASSERT_FALSE(::IsWindow(palette));
    }
}

TEST_F(PaletteWindowTest, SliderPercentSurvivesAPressAndAnUnload) {
    for (int percent : {0, 1, 28, 29, 57, 58, 99, 100}) {
        ASSERT_TRUE(Start());
        HWND palette = Open();
        ASSERT_NE(nullptr, palette);
        ::SendDlgItemMessageW(palette, IDC_STRENGTH_SLIDER, TBM_SETPOS, TRUE, percent);
        ::SendDlgItemMessageW(palette, IDC_SHAPE_SLIDER, TBM_SETPOS, TRUE, 100 - percent);
        Press();
        Unload();
        EXPECT_EQ(static_cast<unsigned>(AfterRoundTrip(percent)), ProfileInt("BrushStrength"));
        EXPECT_EQ(static_cast<unsigned>(AfterRoundTrip(100 - percent)), ProfileInt("BrushShape"));
        ASSERT_TRUE(Start());
        palette = Open();
        ASSERT_NE(nullptr, palette);
        EXPECT_EQ(AfterRoundTrip(percent), SliderPos(palette, IDC_STRENGTH_SLIDER))
            << "strength " << percent << " in the next run";
        EXPECT_EQ(AfterRoundTrip(100 - percent), SliderPos(palette, IDC_SHAPE_SLIDER)) << "shape " << 100 - percent;
        Unload();
    }
}

TEST_F(PaletteWindowTest, UnloadSavesTheFieldsNotTheControls) {
    const struct {
        const char* name;
        bool open, moveSlider;
        unsigned saved;
    } rows[] = {{"never opened", false, false, 20},
                {"opened, nothing changed", true, false, 5},
                {"slider moved without a press, still open", true, true, 5}};
    for (const auto& row : rows) {
        HPI_WriteProfileInt(kTestPluginHandle, "BrushSize", 5);
        ASSERT_TRUE(Start());
        if (row.open) {
            HWND palette = Open();
            ASSERT_NE(nullptr, palette);
            EXPECT_EQ(5, SliderPos(palette, IDC_SIZE_SLIDER)) << row.name;
            if (row.moveSlider) ::SendDlgItemMessageW(palette, IDC_SIZE_SLIDER, TBM_SETPOS, TRUE, 30);
        }
        Unload();
        EXPECT_EQ(row.saved, ProfileInt("BrushSize")) << row.name;
    }
}

TEST_F(PaletteWindowTest, ScrollPressIsNotAStrokeButStillPulls) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(0, Press()) << "no palette, no stroke";
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    Click(palette, IDC_METHOD_SCROLL);
    ::SendDlgItemMessageW(palette, IDC_SIZE_SLIDER, TBM_SETPOS, TRUE, 9);
    EXPECT_EQ(0, Press()) << "scroll leaves the press to the host";
    close_();
    EXPECT_EQ(0, Press()) << "a closed palette paints nothing";
    Unload();
    EXPECT_EQ(0u, ProfileInt("BrushMethod"));
    EXPECT_EQ(9u, ProfileInt("BrushSize"));
}

TEST_F(PaletteWindowTest, ClosingSavesTheTopLeftAndReopeningUsesIt) {
    const struct {
        const char* how;
        int x, y;
    } rows[] = {{"Esc", 140, 90}, {"close box", 60, 170}, {"Close", 210, 40}};
    for (const auto& row : rows) {
        ASSERT_TRUE(Start());
        HWND palette = Open();
        ASSERT_NE(nullptr, palette);
        ::SetWindowPos(palette, nullptr, row.x, row.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (row.how[0] == 'E') {
            PressEscape(palette);
        } else if (row.how[0] == 'c') {
            ::SendMessageW(palette, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            EXPECT_EQ(1, close_());
        }
        PumpMessages();
        EXPECT_FALSE(::IsWindow(palette)) << row.how;
        EXPECT_EQ(row.x, static_cast<int>(ProfileInt("CZolvaPalette-X"))) << row.how;
        EXPECT_EQ(row.y, static_cast<int>(ProfileInt("CZolvaPalette-Y"))) << row.how;
        HWND reopened = Open();
        ASSERT_NE(nullptr, reopened) << row.how;
        POINT at = TopLeft(reopened);
        EXPECT_EQ(row.x, at.x) << row.how;
        EXPECT_EQ(row.y, at.y) << row.how;
        Unload();
    }
}

TEST_F(PaletteWindowTest, StoredPositionIsUsedOnlyWhenOneIsStoredAndOnScreen) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    POINT templatePosition = TopLeft(palette);
    Unload();
    const struct {
        const char* name;
        int x, y;
        bool moved;
    } rows[] = {{"left -9999 with a top", -9999, 300, false},
                {"far off every screen", -30000, -30000, false},
                {"a place on the screen", 150, 160, true},
                {"partly off the left edge", -20, 100, true}};
    for (const auto& row : rows) {
        HPI_WriteProfileInt(kTestPluginHandle, "CZolvaPalette-X", row.x);
        HPI_WriteProfileInt(kTestPluginHandle, "CZolvaPalette-Y", row.y);
        ASSERT_TRUE(Start());
        palette = Open();
        ASSERT_NE(nullptr, palette);
        POINT at = TopLeft(palette);
        EXPECT_EQ(row.moved ? row.x : templatePosition.x, at.x) << row.name;
        EXPECT_EQ(row.moved ? row.y : templatePosition.y, at.y) << row.name;
        Unload();
    }
}

TEST_F(PaletteWindowTest, EnterKeepsThePaletteOpen) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    HWND edit = ::GetDlgItem(palette, IDC_ALTITUDE_EDIT);
    ::SetFocus(edit);
    ::PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PumpMessages();
    EXPECT_TRUE(::IsWindow(palette));
    EXPECT_TRUE(::IsWindowVisible(palette));
}

TEST_F(PaletteWindowTest, MenuCommandLeavesAnOpenPaletteAloneAndReopensAClosedOne) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    ::SetWindowPos(palette, nullptr, 200, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::SendDlgItemMessageW(palette, IDC_SIZE_SLIDER, TBM_SETPOS, TRUE, 7);
    HPI_WriteProfileInt(kTestPluginHandle, "BrushSize", 3);
    EXPECT_EQ(palette, Open());
    EXPECT_TRUE(::IsWindowVisible(palette));
    EXPECT_EQ(7, SliderPos(palette, IDC_SIZE_SLIDER)) << "the profile is not read again";
    POINT at = TopLeft(palette);
    EXPECT_EQ(200, at.x);
    EXPECT_EQ(100, at.y);

    PressEscape(palette);
    ASSERT_FALSE(::IsWindow(palette));
    HWND reopened = Open();
    ASSERT_NE(nullptr, reopened);
    EXPECT_TRUE(::IsWindowVisible(reopened));
    EXPECT_EQ(3, SliderPos(reopened, IDC_SIZE_SLIDER)) << "a new palette reads the profile";
}

// Records which messages reach the tooltip through TTM_RELAYEVENT.
WNDPROC g_tooltipProc = nullptr;
std::vector<UINT> g_relayed;

LRESULT CALLBACK RecordRelays(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == TTM_RELAYEVENT && lp != 0) g_relayed.push_back(reinterpret_cast<MSG*>(lp)->message);
    return ::CallWindowProcW(g_tooltipProc, window, msg, wp, lp);
}

struct TooltipSearch {
    HWND owner, found;
};

BOOL CALLBACK FindTooltip(HWND window, LPARAM lp) {
    auto* s = reinterpret_cast<TooltipSearch*>(lp);
    if (ClassOf(window) != TOOLTIPS_CLASSW || ::GetWindow(window, GW_OWNER) != s->owner) return TRUE;
    s->found = window;
    return FALSE;
}

HWND TooltipOf(HWND palette) {
    TooltipSearch search = {palette, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(PaletteWindowTest, SingleClicksAndMovesAreRelayedDoubleClicksAreNot) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    HWND tooltip = TooltipOf(palette);
    ASSERT_NE(nullptr, tooltip);
    g_relayed.clear();
    g_tooltipProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(tooltip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordRelays)));
    HWND button = ::GetDlgItem(palette, IDC_SIZE_PRESET_3);
    const UINT posted[] = {WM_MOUSEMOVE,    WM_LBUTTONDOWN, WM_LBUTTONUP,     WM_LBUTTONDBLCLK,
                           WM_LBUTTONUP,    WM_RBUTTONDOWN, WM_RBUTTONUP,     WM_RBUTTONDBLCLK,
                           WM_MBUTTONDOWN,  WM_MBUTTONUP,   WM_MBUTTONDBLCLK, WM_MOUSEWHEEL};
    for (UINT msg : posted) ::PostMessageW(button, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(4, 4));
    PumpMessages();
    ::SetWindowLongPtrW(tooltip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_tooltipProc));
    const std::vector<UINT> expected = {WM_MOUSEMOVE,   WM_LBUTTONDOWN, WM_LBUTTONUP,  WM_LBUTTONUP,
                                        WM_RBUTTONDOWN, WM_RBUTTONUP,   WM_MBUTTONDOWN, WM_MBUTTONUP};
    EXPECT_EQ(expected, g_relayed);
    EXPECT_EQ(15, SliderPos(palette, IDC_SIZE_SLIDER)) << "the relayed click still reached the button";
}

TEST_F(PaletteWindowTest, EachIconButtonCarriesItsTooltipText) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    HWND tooltip = TooltipOf(palette);
    ASSERT_NE(nullptr, tooltip);
    EXPECT_TRUE(::GetWindowLongPtrW(tooltip, GWL_STYLE) & TTS_NOPREFIX);
    const struct {
        int id;
        const wchar_t* text;
    } rows[] = {
        {IDC_METHOD_SCROLL, L"地図スクロール"},
        {IDC_METHOD_RAISE, L"盛り上げる"},
        {IDC_METHOD_DIG, L"掘り下げる"},
        {IDC_METHOD_FLATTEN, L"標高一定にする"},
        {IDC_SIZE_PRESET_1, L"ブラシのサイズを変更する"},
        {IDC_SIZE_PRESET_2, L"ブラシのサイズを変更する"},
        {IDC_SIZE_PRESET_3, L"ブラシのサイズを変更する"},
        {IDC_SIZE_PRESET_4, L"ブラシのサイズを変更する"},
        {IDC_SIZE_PRESET_5, L"ブラシのサイズを変更する"},
        {IDC_SHAPE_PRESET_1, L"ブラシの形状を変更する"},
        {IDC_SHAPE_PRESET_2, L"ブラシの形状を変更する"},
        {IDC_SHAPE_PRESET_3, L"ブラシの形状を変更する"},
        {IDC_SHAPE_PRESET_4, L"ブラシの形状を変更する"},
        {IDC_SHAPE_PRESET_5, L"ブラシの形状を変更する"},
        {IDC_STRENGTH_PRESET_1, L"ブラシの強度を変更する"},
        {IDC_STRENGTH_PRESET_2, L"ブラシの強度を変更する"},
        {IDC_STRENGTH_PRESET_3, L"ブラシの強度を変更する"},
        {IDC_STRENGTH_PRESET_4, L"ブラシの強度を変更する"},
        {IDC_STRENGTH_PRESET_5, L"ブラシの強度を変更する"},
    };
    EXPECT_EQ(19, ::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0)) << "sliders, edit and commands have none";
    for (const auto& row : rows) {
        wchar_t text[128] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = ::GetDlgItem(palette, row.id);
        tool.uId = static_cast<UINT_PTR>(row.id);
        tool.lpszText = text;
        ::SendMessageW(tooltip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(std::wstring(row.text), std::wstring(text)) << "button " << row.id;
    }
}

// A visible stand-in for the host's map view that counts its repaints.
int g_viewPaints = 0;

LRESULT CALLBACK CountPaints(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return ::DefWindowProcW(window, msg, wp, lp);
    PAINTSTRUCT paint;
    ::BeginPaint(window, &paint);
    ::EndPaint(window, &paint);
    ++g_viewPaints;
    return 0;
}

class PaletteUndoTest : public PaletteFixture {
protected:
    void SetUp() override {
        PaletteFixture::SetUp();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = CountPaints;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PaletteTestView";
        ::RegisterClassW(&windowClass);
        view_ = ::CreateWindowW(L"PaletteTestView", L"view", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 0, 200, 200,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        PumpMessages();
        DH_SetView(kView, view_, 1, {34.8, 139.2});
        path_ = Utf8(TestFolder()) + "palette-undo.map";
        MapHeader header;
        header.width = header.height = 640;
        header.originLat = 35.0;
        header.originLon = 139.0;
        header.cellLat = header.cellLon = 0.001;
        header.mapType = 5;
        std::vector<int16_t> grid(640 * 640, 100);
        std::string error;
        ASSERT_TRUE(CreateMapFile(path_, header, grid.data(), &error)) << error;
        map_ = DH_OpenMap(path_.c_str(), nullptr, 0);
        ASSERT_NE(0u, map_);
    }
    void TearDown() override {
        if (map_ != 0) DH_CloseMap(map_);
        PaletteFixture::TearDown();
        DH_SetView(0, nullptr, 1, {0.0, 0.0});
        ::DestroyWindow(view_);
        std::remove(path_.c_str());
    }

    // A press, one move and a release at the same place, mesh (200, 200).
    void Stroke() {
        HPI_VIEWEVENT event = {50, 50, {34.8, 139.2}};
        EXPECT_EQ(1, viewHook_(kEventViewPress, kView, reinterpret_cast<intptr_t>(&event)));
        viewHook_(kEventViewMove, kView, reinterpret_cast<intptr_t>(&event));
        viewHook_(kEventViewRelease, kView, reinterpret_cast<intptr_t>(&event));
    }

    // The block around mesh (200, 200) as the view shows it.
    std::vector<short> ViewBlock() {
        std::vector<short> samples(kMapBlockSamples, -1);
        DH_ReadViewBlock(map_, static_cast<int32_t>(BlockCodeOf(200, 200)), samples.data());
        return samples;
    }

    static const HPI_HANDLE kView = 1;
    HWND view_ = nullptr;
    HPI_HANDLE map_ = 0;
    std::string path_;
};

TEST_F(PaletteUndoTest, UndoWithoutEditorOnlyRedraws) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    std::vector<short> before = ViewBlock();
    int paints = g_viewPaints;
    Click(palette, IDC_UNDO_BUTTON);
    EXPECT_EQ(paints + 1, g_viewPaints) << "the view is redrawn";
    EXPECT_EQ(0, DH_DisplayCacheCount(map_));
    EXPECT_EQ(before, ViewBlock());
    EXPECT_EQ(0, DH_MessageBoxCount());
}

TEST_F(PaletteUndoTest, UndoRestoresTheStrokeOnceAndASecondUndoChangesNothing) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    std::vector<short> original = ViewBlock();
    ASSERT_EQ(100, original[SampleIndexOf(200, 200)]);
    Stroke();
    std::vector<short> painted = ViewBlock();
    ASSERT_GT(painted[SampleIndexOf(200, 200)], 100) << "the raise stroke changed the map";

    int paints = g_viewPaints;
    Click(palette, IDC_UNDO_BUTTON);
    EXPECT_EQ(paints + 1, g_viewPaints);
    EXPECT_EQ(original, ViewBlock()) << "undo brings back the samples from before the stroke";

    Click(palette, IDC_UNDO_BUTTON);
    EXPECT_EQ(paints + 2, g_viewPaints) << "a second undo still redraws";
    EXPECT_EQ(original, ViewBlock()) << "and changes nothing";
}

// Screen pixels of a window, frame and caption included, top-down, 0x00RRGGBB; `At`
// takes client coordinates.
struct WindowPixels {
    int width = 0, height = 0;
    POINT client = {0, 0};  // client origin within the picture
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y + client.y) * width + x + client.x];
    }
};

WindowPixels CaptureWindow(HWND window) {
    WindowPixels shot;
    RECT rect;
    ::GetWindowRect(window, &rect);
    POINT origin = {0, 0};
    ::ClientToScreen(window, &origin);
    shot.width = rect.right - rect.left;
    shot.height = rect.bottom - rect.top;
    shot.client = {origin.x - rect.left, origin.y - rect.top};
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, shot.width, shot.height, screen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    const auto* bgra = static_cast<const uint32_t*>(bits);
    shot.pixels.assign(bgra, bgra + static_cast<size_t>(shot.width) * shot.height);
    for (uint32_t& pixel : shot.pixels) pixel &= 0xFFFFFF;
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return shot;
}

bool WritePng(const WindowPixels& shot, const std::string& path) {
    std::vector<uint8_t> rgb;
    for (uint32_t pixel : shot.pixels) {
        rgb.push_back(static_cast<uint8_t>(pixel >> 16));
        rgb.push_back(static_cast<uint8_t>(pixel >> 8));
        rgb.push_back(static_cast<uint8_t>(pixel));
    }
    return stbi_write_png(path.c_str(), shot.width, shot.height, 3, rgb.data(), shot.width * 3) != 0;
}

// A system colour as the screen shows it, in the capture's 0x00RRGGBB form.
uint32_t ScreenColor(int index) {
    HDC screen = ::GetDC(nullptr);
    COLORREF color = ::GetNearestColor(screen, ::GetSysColor(index));
    ::ReleaseDC(nullptr, screen);
    return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

TEST_F(PaletteWindowTest, ScreenshotShowsTheGroupFramesAndTheMethodIcons) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    ::SetWindowPos(palette, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    ::RedrawWindow(palette, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages();
    ::Sleep(200);
    PumpMessages();
    WindowPixels shot = CaptureWindow(palette);
    ASSERT_GT(shot.width, 0);
    std::string path = Utf8(TestFolder()) + "palette.png";
    EXPECT_TRUE(WritePng(shot, path)) << path;

    const struct {
        int first, last;
        bool vertical;
    } frames[] = {{IDC_METHOD_SCROLL, IDC_METHOD_FLATTEN, false},    {IDC_SIZE_PRESET_1, IDC_SIZE_PRESET_5, false},
                  {IDC_STRENGTH_PRESET_1, IDC_STRENGTH_PRESET_5, false}, {IDC_SHAPE_PRESET_1, IDC_SHAPE_PRESET_5, false},
                  {IDC_GENERATE_BUTTON, IDC_UNDO_BUTTON, true},      {IDC_COPY_BUTTON, IDC_PASTE_BUTTON, true}};
    for (const auto& frame : frames) {
        RECT first = ClientRectOf(palette, ::GetDlgItem(palette, frame.first));
        RECT last = ClientRectOf(palette, ::GetDlgItem(palette, frame.last));
        RECT group = first;
        if (frame.vertical) group.bottom = last.bottom; else group.right = last.right;
        int middle = (group.left + group.right) / 2;
        // Top edges in the shadow colours, bottom edges in the light ones, inner then outer.
        EXPECT_EQ(ScreenColor(COLOR_BTNSHADOW), shot.At(middle, group.top - 1)) << "frame " << frame.first;
        EXPECT_EQ(ScreenColor(COLOR_3DLIGHT), shot.At(middle, group.bottom)) << "frame " << frame.first;
        EXPECT_EQ(ScreenColor(COLOR_3DDKSHADOW), shot.At(middle, group.top - 2)) << "frame " << frame.first;
        EXPECT_EQ(ScreenColor(COLOR_BTNHIGHLIGHT), shot.At(middle, group.bottom + 1)) << "frame " << frame.first;
    }

    std::vector<uint32_t> systemColors;
    for (int index : {COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_3DLIGHT, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW,
                      COLOR_BTNTEXT, COLOR_WINDOWFRAME}) {
        systemColors.push_back(ScreenColor(index));
    }
    for (int id : {IDC_METHOD_SCROLL, IDC_METHOD_RAISE, IDC_METHOD_DIG, IDC_METHOD_FLATTEN}) {
        RECT button = ClientRectOf(palette, ::GetDlgItem(palette, id));
        int colored = 0;
        for (int y = button.top; y < button.bottom; ++y) {
            for (int x = button.left; x < button.right; ++x) {
                bool system = false;
                for (uint32_t color : systemColors) system = system || shot.At(x, y) == color;
                if (!system) ++colored;
            }
        }
        EXPECT_GE(colored, 20) << "method button " << id << " shows its icon";
    }
}

}  // namespace
