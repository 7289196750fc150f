#include "tests/windows/palette_test_support.h"

#include <commctrl.h>

#include "res/resource.h"

namespace {

const wchar_t kPaletteCaption[] = L"地形エディタ";

BOOL CALLBACK FindPaletteWindow(HWND window, LPARAM found) {
    if (ClassOf(window) != L"#32770" || TextOf(window) != kPaletteCaption) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

}  // namespace

void PaletteFixture::SetUp() {
    PluginTest::SetUp();
    // The base removes the file only after asking for its path, which loads the old
    // values into the host's cache; setting the folder again drops that cache.
    DH_SetProfileDir(profileDir_.c_str());
}

bool PaletteFixture::Start() {
    if (!Load()) return false;
    DH_Reset();
    HPI_PLUGININFO info = {};
    if (CallInit(&info, 601) != 1 || DH_RegistrationCount() != 4) {
        ADD_FAILURE() << "Init did not register its callbacks";
        return false;
    }
    DH_REGISTRATION menu, view;
    DH_GetRegistration(1, &menu);
    DH_GetRegistration(3, &view);
    menu_ = menu.proc;
    viewHook_ = view.proc;
    return menu_ != nullptr && viewHook_ != nullptr;
}

HWND PaletteFixture::Open() {
    menu_(kEventMenuChosen, 0, 0);
    PumpMessages();
    return FindPalette();
}

long PaletteFixture::Press() {
    HPI_VIEWEVENT event = {10, 10, {35.0, 139.0}};
    long answer = viewHook_(kEventViewPress, 1, reinterpret_cast<intptr_t>(&event));
    viewHook_(kEventViewRelease, 1, reinterpret_cast<intptr_t>(&event));
    return answer;
}

unsigned PaletteFixture::ProfileInt(const char* key) const {
    return HPI_GetProfileInt(kTestPluginHandle, key, -12345);
}

HWND FindPalette() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindPaletteWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

RECT ClientRectOf(HWND parent, HWND child) {
    RECT rect;
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int SliderPos(HWND palette, int id) {
    return static_cast<int>(::SendDlgItemMessageW(palette, id, TBM_GETPOS, 0, 0));
}

int PressedMethod(HWND palette) {
    const int buttons[] = {IDC_METHOD_SCROLL, IDC_METHOD_RAISE, IDC_METHOD_DIG, IDC_METHOD_FLATTEN};
    int pressed = -1;
    for (int i = 0; i < 4; ++i) {
        if (::IsDlgButtonChecked(palette, buttons[i]) != BST_CHECKED) continue;
        if (pressed != -1) return -2;  // two pressed buttons are a fault of their own
        pressed = i;
    }
    return pressed;
}

bool Enabled(HWND palette, int id) { return ::IsWindowEnabled(::GetDlgItem(palette, id)) != FALSE; }

void Click(HWND palette, int id) {
    ::SendDlgItemMessageW(palette, id, BM_CLICK, 0, 0);
    PumpMessages();
}

void TypeAltitude(HWND palette, const wchar_t* text) {
    // WM_SETTEXT makes the edit box send EN_CHANGE to the palette itself.
    ::SetDlgItemTextW(palette, IDC_ALTITUDE_EDIT, text);
    PumpMessages();
}
