// The brush palette as a user and the host see it: opened through the menu callback of
// the real Zolva.qpl, driven with real messages, read back from its controls, from the
// profile the module writes at unload, and from a screenshot.
#include "tests/windows/palette_test_support.h"

#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "res/resource.h"

namespace {

using PaletteTest = PaletteFixture;

std::wstring FormatNumber(int value) { return std::to_wstring(value); }

TEST_F(PaletteTest, TemplateBuildsEveryControlWhereItBelongs) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    const struct {
        int id;
        const wchar_t* className;
        const wchar_t* text;
        int x, y, w, h;
        bool visible;
    } rows[] = {
        {IDC_METHOD_SCROLL, L"Button", L"", 1, 64, 16, 14, true},
        {IDC_METHOD_RAISE, L"Button", L"", 18, 64, 16, 14, true},
        {IDC_METHOD_DIG, L"Button", L"", 34, 64, 16, 14, true},
        {IDC_METHOD_FLATTEN, L"Button", L"", 50, 64, 16, 14, true},
        {IDC_STRENGTH_SLIDER, TRACKBAR_CLASSW, L"", 2, 133, 64, 13, true},
        {IDC_SHAPE_SLIDER, TRACKBAR_CLASSW, L"", 2, 176, 64, 13, true},
        {IDC_STATIC, L"Static", L"ブラシ", 2, 51, 64, 9, true},
        {IDC_STRENGTH_LABEL, L"Static", L"ブラシ強度", 9, 124, 48, 8, true},
        {IDC_SHAPE_LABEL, L"Static", L"ブラシ形状", 9, 166, 48, 8, true},
        {IDC_UNDO_BUTTON, L"Button", L"アンドゥ", 1, 29, 32, 14, true},
        {IDC_SIZE_SLIDER, TRACKBAR_CLASSW, L"", 2, 91, 64, 13, true},
        {IDC_SIZE_LABEL, L"Static", L"ブラシサイズ", 9, 82, 48, 8, true},
        {IDC_SIZE_PRESET_1, L"Button", L"", 1, 107, 13, 13, true},
        {IDC_SIZE_PRESET_2, L"Button", L"", 15, 107, 13, 13, true},
        {IDC_SIZE_PRESET_3, L"Button", L"", 28, 107, 13, 13, true},
        {IDC_SIZE_PRESET_4, L"Button", L"", 41, 107, 13, 13, true},
        {IDC_SIZE_PRESET_5, L"Button", L"", 54, 107, 13, 13, true},
        {IDC_STRENGTH_PRESET_1, L"Button", L"", 1, 149, 13, 13, true},
        {IDC_STRENGTH_PRESET_2, L"Button", L"", 15, 149, 13, 13, true},
        {IDC_STRENGTH_PRESET_3, L"Button", L"", 28, 149, 13, 13, true},
        {IDC_STRENGTH_PRESET_4, L"Button", L"", 41, 149, 13, 13, true},
        {IDC_STRENGTH_PRESET_5, L"Button", L"", 54, 149, 13, 13, true},
        {IDC_SHAPE_PRESET_1, L"Button", L"", 1, 193, 13, 13, true},
        {IDC_SHAPE_PRESET_2, L"Button", L"", 15, 193, 13, 13, true},
        {IDC_SHAPE_PRESET_3, L"Button", L"", 28, 193, 13, 13, true},
        {IDC_SHAPE_PRESET_4, L"Button", L"", 41, 193, 13, 13, true},
        {IDC_SHAPE_PRESET_5, L"Button", L"", 54, 193, 13, 13, true},
        {IDC_GENERATE_BUTTON, L"Button", L"地形生成", 1, 15, 32, 14, true},
        {IDC_ALTITUDE_SLIDER, TRACKBAR_CLASSW, L"", 2, 220, 64, 13, true},
        {IDC_ALTITUDE_LABEL, L"Static", L"ブラシ標高", 9, 210, 48, 8, true},
        {IDC_ALTITUDE_EDIT, L"Edit", L"500", 14, 237, 28, 14, true},
        {IDC_ALTITUDE_UNIT, L"Static", L"m", 43, 242, 8, 8, true},
        {IDC_STATIC, L"Static", L"コマンド", 2, 3, 64, 9, true},
        {IDC_COPY_BUTTON, L"Button", L"コピー", 35, 15, 32, 14, false},
        {IDC_PASTE_BUTTON, L"Button", L"ペースト", 35, 29, 32, 14, false},
    };
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(palette, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    ASSERT_EQ(35u, children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        const auto& row = rows[i];
        HWND child = children[i];
        EXPECT_EQ(row.id, static_cast<int>(static_cast<short>(::GetDlgCtrlID(child)))) << "control " << i + 1;
        EXPECT_EQ(0, _wcsicmp(row.className, ClassOf(child).c_str())) << "control " << i + 1;
        EXPECT_EQ(std::wstring(row.text), TextOf(child)) << "control " << i + 1;
        EXPECT_EQ(row.visible, ::IsWindowVisible(child) != FALSE) << "control " << i + 1;
        // The dialog maps position and size separately, each rounded on its own.
        RECT expected = {row.x, row.y, row.w, row.h};
        ::MapDialogRect(palette, &expected);
        RECT actual = ClientRectOf(palette, child);
        EXPECT_EQ(expected.left, actual.left) << "control " << i + 1;
        EXPECT_EQ(expected.top, actual.top) << "control " << i + 1;
        EXPECT_EQ(expected.right, actual.right - actual.left) << "control " << i + 1;
        EXPECT_EQ(expected.bottom, actual.bottom - actual.top) << "control " << i + 1;
        if (ClassOf(child) == L"Button") {
            LONG_PTR type = ::GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
            EXPECT_NE(BS_DEFPUSHBUTTON, type) << "control " << i + 1 << ": no default push button";
        }
    }
    EXPECT_EQ(L"地形エディタ", TextOf(palette));
    LONG_PTR exStyle = ::GetWindowLongPtrW(palette, GWL_EXSTYLE);
    LONG_PTR style = ::GetWindowLongPtrW(palette, GWL_STYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(style & WS_SYSMENU) << "the close box";
    EXPECT_TRUE(::IsWindowVisible(palette));
    LRESULT defaultId = ::SendMessageW(palette, DM_GETDEFID, 0, 0);
    if (HIWORD(defaultId) == DC_HASDEFID) {
        EXPECT_EQ(nullptr, ::GetDlgItem(palette, LOWORD(defaultId))) << "the default id names no control";
    }
}

TEST_F(PaletteTest, FirstRunOpensWithTheDefaults) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    EXPECT_EQ(1, PressedMethod(palette)) << "raise";
    EXPECT_EQ(20, SliderPos(palette, IDC_SIZE_SLIDER));
    EXPECT_EQ(50, SliderPos(palette, IDC_STRENGTH_SLIDER));
    EXPECT_EQ(0, SliderPos(palette, IDC_SHAPE_SLIDER));
    EXPECT_EQ(500, SliderPos(palette, IDC_ALTITUDE_SLIDER));
    EXPECT_EQ(L"500", TextOf(::GetDlgItem(palette, IDC_ALTITUDE_EDIT)));
    const struct {
        int id, minimum, maximum, page;
    } sliders[] = {{IDC_SIZE_SLIDER, 1, 32, 10},
                   {IDC_SHAPE_SLIDER, 0, 100, 10},
                   {IDC_STRENGTH_SLIDER, 0, 100, 10},
                   {IDC_ALTITUDE_SLIDER, 0, 10000, 1000}};
    for (const auto& row : sliders) {
        HWND slider = ::GetDlgItem(palette, row.id);
        EXPECT_EQ(row.minimum, ::SendMessageW(slider, TBM_GETRANGEMIN, 0, 0)) << row.id;
        EXPECT_EQ(row.maximum, ::SendMessageW(slider, TBM_GETRANGEMAX, 0, 0)) << row.id;
        EXPECT_EQ(row.page, ::SendMessageW(slider, TBM_GETPAGESIZE, 0, 0)) << row.id;
    }
}

TEST_F(PaletteTest, EnableRulesFollowTheMethod) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    const int brushGroups[] = {IDC_SIZE_LABEL,        IDC_SIZE_SLIDER,     IDC_SIZE_PRESET_1,   IDC_SIZE_PRESET_5,
                               IDC_SHAPE_LABEL,       IDC_SHAPE_SLIDER,    IDC_SHAPE_PRESET_1,  IDC_SHAPE_PRESET_5,
                               IDC_STRENGTH_LABEL,    IDC_STRENGTH_SLIDER, IDC_STRENGTH_PRESET_1,
                               IDC_STRENGTH_PRESET_5, IDC_SIZE_PRESET_3,   IDC_SHAPE_PRESET_3,  IDC_STRENGTH_PRESET_3};
    const int altitudeGroup[] = {IDC_ALTITUDE_LABEL, IDC_ALTITUDE_SLIDER, IDC_ALTITUDE_EDIT, IDC_ALTITUDE_UNIT};
    const int neverDisabled[] = {IDC_METHOD_SCROLL, IDC_METHOD_RAISE,    IDC_METHOD_DIG,
                                 IDC_METHOD_FLATTEN, IDC_GENERATE_BUTTON, IDC_UNDO_BUTTON};
    const struct {
        int button;
        bool brush, altitude;
    } rows[] = {{IDC_METHOD_FLATTEN, true, true},
                {IDC_METHOD_SCROLL, false, false},
                {IDC_METHOD_RAISE, true, false},
                {IDC_METHOD_DIG, true, false},
                {IDC_METHOD_FLATTEN, true, true}};
    for (const auto& row : rows) {
        Click(palette, row.button);
        EXPECT_EQ(row.button - IDC_METHOD_SCROLL, PressedMethod(palette));
        for (int id : brushGroups) EXPECT_EQ(row.brush, Enabled(palette, id)) << "method " << row.button << " control " << id;
        for (int id : altitudeGroup) EXPECT_EQ(row.altitude, Enabled(palette, id)) << "method " << row.button << " control " << id;
        for (int id : neverDisabled) EXPECT_TRUE(Enabled(palette, id)) << "method " << row.button << " control " << id;
    }
}

TEST_F(PaletteTest, TypedAltitudeMovesTheSliderWithinItsRangeAndKeepsTheNumber) {
    const struct {
        const wchar_t* typed;
        int slider;
        int altitude;
    } rows[] = {{L"12000", 10000, 12000}, {L"-50", 0, -50}, {L"  730m", 730, 730},
                {L"abc", 0, 0},           {L"99999999999", 10000, 2147483647}};
    for (const auto& row : rows) {
        ASSERT_TRUE(Start());
        HWND palette = Open();
        ASSERT_NE(nullptr, palette);
        TypeAltitude(palette, row.typed);
        EXPECT_EQ(row.slider, SliderPos(palette, IDC_ALTITUDE_SLIDER)) << Utf8(row.typed);
        EXPECT_EQ(std::wstring(row.typed), TextOf(::GetDlgItem(palette, IDC_ALTITUDE_EDIT))) << "the box keeps the text";
        Press();
        Unload();
        EXPECT_EQ(row.altitude, static_cast<int>(ProfileInt("BrushAlt"))) << Utf8(row.typed);
    }
}

TEST_F(PaletteTest, AltitudeSliderUpdatesTheBoxExceptWhileDragged) {
    ASSERT_TRUE(Start());
    HWND palette = Open();
    ASSERT_NE(nullptr, palette);
    HWND slider = ::GetDlgItem(palette, IDC_ALTITUDE_SLIDER);
    HWND edit = ::GetDlgItem(palette, IDC_ALTITUDE_EDIT);
    Click(palette, IDC_METHOD_FLATTEN);

    // Drag the thumb to the right: the slider follows, the box waits for the release.
    RECT thumb;
    ::SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    int grabX = (thumb.left + thumb.right) / 2, grabY = (thumb.top + thumb.bottom) / 2;
    ::SendMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grabX, grabY));
    ::SendMessageW(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grabX + 25, grabY));
    int dragged = SliderPos(palette, IDC_ALTITUDE_SLIDER);
    EXPECT_GT(dragged, 500) << "the thumb moved";
    EXPECT_EQ(L"500", TextOf(edit)) << "no update while the thumb is dragged";
    ::SendMessageW(slider, WM_LBUTTONUP, 0, MAKELPARAM(grabX + 25, grabY));
    PumpMessages();
    EXPECT_EQ(FormatNumber(dragged), TextOf(edit)) << "the release updates the box";

    // A click on the track left of the thumb pages down at once.
    ::SendMessageW(slider, TBM_SETPOS, TRUE, 3000);
    ::SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    RECT channel;
    ::SendMessageW(slider, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    ::SendMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(channel.left + 2, grabY));
    ::SendMessageW(slider, WM_LBUTTONUP, 0, MAKELPARAM(channel.left + 2, grabY));
    PumpMessages();
    EXPECT_EQ(2000, SliderPos(palette, IDC_ALTITUDE_SLIDER)) << "one page of 1000";
    EXPECT_EQ(L"2000", TextOf(edit)) << "a track click updates the box";

    ::SendMessageW(slider, TBM_SETPOS, TRUE, 3000);
    ::SendMessageW(slider, WM_KEYDOWN, VK_RIGHT, 0);
    ::SendMessageW(slider, WM_KEYUP, VK_RIGHT, 0);
    EXPECT_EQ(3001, SliderPos(palette, IDC_ALTITUDE_SLIDER));
    EXPECT_EQ(L"3001", TextOf(edit)) << "a key moves the slider and the box at once";

    ::SendMessageW(slider, WM_KEYDOWN, VK_NEXT, 0);
    ::SendMessageW(slider, WM_KEYUP, VK_NEXT, 0);
    EXPECT_EQ(4001, SliderPos(palette, IDC_ALTITUDE_SLIDER)) << "a page is 1000";
    EXPECT_EQ(L"4001", TextOf(edit));

    // Scrolling another slider leaves the box alone.
    HWND size = ::GetDlgItem(palette, IDC_SIZE_SLIDER);
    ::SendMessageW(size, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(21, SliderPos(palette, IDC_SIZE_SLIDER));
    EXPECT_EQ(L"4001", TextOf(edit));
    EXPECT_EQ(4001, SliderPos(palette, IDC_ALTITUDE_SLIDER));
}

TEST_F(PaletteTest, PresetsMoveOnlyTheirSliderUntilTheNextPress) {
    const struct {
        int button, slider, position;
        const char* key;
        int saved;
    } rows[] = {
        {IDC_SIZE_PRESET_1, IDC_SIZE_SLIDER, 1, "BrushSize", 1},
        {IDC_SIZE_PRESET_2, IDC_SIZE_SLIDER, 8, "BrushSize", 8},
        {IDC_SIZE_PRESET_3, IDC_SIZE_SLIDER, 15, "BrushSize", 15},
        {IDC_SIZE_PRESET_4, IDC_SIZE_SLIDER, 28, "BrushSize", 28},
        {IDC_SIZE_PRESET_5, IDC_SIZE_SLIDER, 32, "BrushSize", 32},
        {IDC_STRENGTH_PRESET_1, IDC_STRENGTH_SLIDER, 10, "BrushStrength", 10},
        {IDC_STRENGTH_PRESET_2, IDC_STRENGTH_SLIDER, 25, "BrushStrength", 25},
        {IDC_STRENGTH_PRESET_3, IDC_STRENGTH_SLIDER, 50, "BrushStrength", 50},
        {IDC_STRENGTH_PRESET_4, IDC_STRENGTH_SLIDER, 75, "BrushStrength", 75},
        {IDC_STRENGTH_PRESET_5, IDC_STRENGTH_SLIDER, 100, "BrushStrength", 100},
        {IDC_SHAPE_PRESET_1, IDC_SHAPE_SLIDER, 0, "BrushShape", 0},
        {IDC_SHAPE_PRESET_2, IDC_SHAPE_SLIDER, 25, "BrushShape", 25},
        {IDC_SHAPE_PRESET_3, IDC_SHAPE_SLIDER, 50, "BrushShape", 50},
        {IDC_SHAPE_PRESET_4, IDC_SHAPE_SLIDER, 75, "BrushShape", 75},
        {IDC_SHAPE_PRESET_5, IDC_SHAPE_SLIDER, 100, "BrushShape", 100},
    };
    const int sliders[] = {IDC_SIZE_SLIDER, IDC_STRENGTH_SLIDER, IDC_SHAPE_SLIDER, IDC_ALTITUDE_SLIDER};
    for (const auto& row : rows) {
        ASSERT_TRUE(Start());
        HWND palette = Open();
        ASSERT_NE(nullptr, palette);
        // Start the shape slider away from every preset so each click shows.
        ::SendDlgItemMessageW(palette, IDC_SHAPE_SLIDER, TBM_SETPOS, TRUE, 33);
        Press();
        int before[4];
        int pressed = 0;
        for (int i = 0; i < 4; ++i) before[i] = SliderPos(palette, sliders[i]);
        Click(palette, row.button);
        for (int i = 0; i < 4; ++i) {
            if (sliders[i] == row.slider) pressed = before[i];
            int expected = sliders[i] == row.slider ? row.position : before[i];
            EXPECT_EQ(expected, SliderPos(palette, sliders[i])) << "preset " << row.button << " slider " << sliders[i];
        }
        Unload();
        EXPECT_EQ(pressed, static_cast<int>(ProfileInt(row.key))) << "preset " << row.button
                                                                   << ": no press, the old value is saved";

        ASSERT_TRUE(Start());
        palette = Open();
        ASSERT_NE(nullptr, palette);
        Click(palette, row.button);
        Press();
        Unload();
        EXPECT_EQ(row.saved, static_cast<int>(ProfileInt(row.key))) << "preset " << row.button << " after a press";
    }
}

}  // namespace
