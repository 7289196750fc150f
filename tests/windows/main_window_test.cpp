// devhost's main window as a Windows user meets it: the title names the map, marks unsaved
// edits and read-only maps; a read-only map says so at open and offers 名前を付けて保存 at
// save; the File menu answers its shortcuts.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devhost/app/main_window.h"
#include "devhost/app/map_view.h"
#include "mapstore/map_file.h"
#include "host/hpi_win.h"
#include "host/utf8_win.h"
#include "tests/windows/plugin_fixture.h"

namespace {

// The plug-in's part, played here: it holds an edit of block 0 and saves it when asked.
bool g_held = false;
int g_saves = 0;
std::vector<short> g_block(kMapBlockSamples, 700);

long EditHook(int event, unsigned map, intptr_t) {
    if (event != kEventMapSave) return event == kEventMapEditsHeld && g_held;
    HPI_HANDLE file = HPI_OpenAppendEvm(HPI_GetMapFile(map), 1);
    g_saves += file != 0 && HPI_AppendBlockEvm(file, 0, g_block.data()) == 0 && HPI_CloseEvm(file) == 0;
    return 1;
}

// The file-type list of the file dialog a key opened, read and cancelled from a timer
// inside the dialog's own loop; "-" when none opened.
std::wstring g_dialog;

BOOL CALLBACK CancelFileDialog(HWND window, LPARAM) {
    wchar_t kind[16] = {}, item[128] = {};
    ::GetClassNameW(window, kind, 16);
    if (!::IsWindowVisible(window) || std::wstring(kind) != L"#32770") return TRUE;
    HWND types = ::GetDlgItem(window, 0x470);
    g_dialog.clear();
    for (int i = 0; i < ::SendMessageW(types, CB_GETCOUNT, 0, 0); ++i) {
        ::SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        g_dialog += std::wstring(item) + L"|";
    }
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

void CALLBACK OnDialogTimer(HWND, UINT, UINT_PTR, DWORD) { ::EnumThreadWindows(::GetCurrentThreadId(), CancelFileDialog, 0); }

// Runs the thread's messages as devhost's loop does, shortcuts first.
void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (devhost::TranslateMainWindowKey(&msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// A key with modifiers held, as it reaches the focused map view.
void Press(HWND window, std::vector<int> modifiers, int key) {
    BYTE state[256] = {};
    for (int modifier : modifiers) state[modifier] = 0x80;
    ::SetKeyboardState(state);
    g_dialog = L"-";
    UINT_PTR timer = ::SetTimer(nullptr, 0, 100, OnDialogTimer);
    bool alt = state[VK_MENU] != 0;
    ::PostMessageW(devhost::MapViewOf(window), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, alt ? 1 | (1 << 29) : 1);
    Pump();
    ::KillTimer(nullptr, timer);
    BYTE none[256] = {};
    ::SetKeyboardState(none);
}

std::wstring Title(HWND window) {
    Pump();
    wchar_t text[256] = {};
    return ::GetWindowTextW(window, text, 256) > 0 ? text : L"";
}

// Each row: an edit (or none), a key, and what the user then sees. The map is made
// read-only before the row that reopens it.
TEST(MainWindowTest, TitleMarksUnsavedEditsAndReadOnlyMapsAndShortcutsReachTheFileMenu) {
    DH_Reset();
    DH_CaptureMessageBoxesOf(::GetModuleHandleW(nullptr));
    DH_CaptureMessageBoxes(IDNO);
    HPI_AddMapHook(kTestPluginHandle, EditHook);
    const std::string path = Utf8(TestFolder()) + "山 の 地図.map";
    MapHeader header;
    header.width = header.height = 320;
    header.cellLat = header.cellLon = 0.001;
    std::string error;
    ASSERT_TRUE(CreateMapFile(path, header, nullptr, &error)) << error;
    HWND window = devhost::CreateMainWindow(::GetModuleHandleW(nullptr));
    ::ShowWindow(window, SW_SHOW);
    ASSERT_NE(0u, devhost::OpenMapFile(window, Widen(path)));
    g_dialog = L"-";
    EXPECT_EQ(L"山 の 地図.map - devhost", Title(window));
    EXPECT_EQ(0, DH_MessageBoxCount()) << "a writable map opens without a word";
    struct Row {
        const char* what;
        bool edit, reopenReadOnly;
        std::vector<int> modifiers;
        int key;
        const wchar_t* dialog;  // the file types it lists
        int saves;
        const wchar_t* title;   // null: the window is gone
        const wchar_t* box;     // in the last message box, when given
    } rows[] = {
        {"an edit", true, false, {}, 0, L"-", 0, L"山 の 地図.map * - devhost", nullptr},
        {"Ctrl+O", false, false, {VK_CONTROL}, 'O', L"地図ファイル (*.map)|すべてのファイル|", 0, L"山 の 地図.map * - devhost", nullptr},
        {"Ctrl+Shift+S", false, false, {VK_CONTROL, VK_SHIFT}, 'S', L"地図ファイル (*.map)|すべてのファイル|", 0, L"山 の 地図.map * - devhost", nullptr},
        {"S alone", false, false, {}, 'S', L"-", 0, L"山 の 地図.map * - devhost", nullptr},
        {"Ctrl+S", false, false, {VK_CONTROL}, 'S', L"-", 1, L"山 の 地図.map - devhost", nullptr},
        {"read-only, an edit", true, true, {}, 0, L"-", 1, L"山 の 地図.map (読み取り専用) * - devhost", L"読み取り専用です"},
        {"read-only, Ctrl+S", false, false, {VK_CONTROL}, 'S', L"-", 1, L"山 の 地図.map (読み取り専用) * - devhost", L"名前を付けて保存しますか?"},
        {"Alt+F4", false, false, {VK_MENU}, VK_F4, L"-", 1, nullptr, L"保存されていない変更があります"},
    };
    const std::string saved = ReadFileBytes(path);
    for (const Row& row : rows) {
        if (row.reopenReadOnly) {
            DH_CloseMap(HPI_GetActiveBaseMap());
            ::SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_READONLY);
            ASSERT_NE(0u, devhost::OpenMapFile(window, Widen(path)));
        }
        if (row.edit) g_held = true, HPI_ReplaceCache(HPI_GetActiveBaseMap(), 0, g_block.data());
        if (row.key != 0) Press(window, row.modifiers, row.key);
        EXPECT_EQ(row.dialog, g_dialog) << row.what;
        EXPECT_EQ(row.saves, g_saves) << row.what;
        EXPECT_EQ(row.title != nullptr, ::IsWindow(window) != 0) << row.what;
        if (row.title != nullptr) EXPECT_EQ(row.title, Title(window)) << row.what;
        DH_MESSAGEBOX box = {};
        DH_GetMessageBox(DH_MessageBoxCount() - 1, &box);
        if (row.box != nullptr) EXPECT_NE(std::wstring::npos, std::wstring(box.text).find(row.box)) << row.what;
    }
    ::SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(saved, ReadFileBytes(path)) << "the read-only map was not written";
    if (HPI_GetActiveBaseMap() != 0) DH_CloseMap(HPI_GetActiveBaseMap());
    DH_CaptureMessageBoxes(0);
    DH_Reset();
}

}  // namespace
