// devhost's main window as a Windows user meets it: the title names the map, marks unsaved
// edits and read-only maps, a read-only map says so at open and offers 名前を付けて保存 at
// save, and the File menu answers its keyboard shortcuts.
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

const int kFilterCombo = 0x470;  // the file dialogs' file-type list

// A plug-in's part, played by the test: it holds an edit of block 0 once one is pushed,
// and saves it when asked.
struct HeldEdit {
    bool held = false;
    int saves = 0;
    std::vector<short> block = std::vector<short>(kMapBlockSamples, 700);
} g_edit;

long EditHook(int event, unsigned map, intptr_t) {
    if (event == kEventMapEditsHeld) return g_edit.held ? 1 : 0;
    if (event != kEventMapSave) return 0;
    HPI_HANDLE file = HPI_OpenAppendEvm(HPI_GetMapFile(map), 1);
    if (file == 0) return 0;
    bool appended = HPI_AppendBlockEvm(file, 0, g_edit.block.data()) == 0;
    bool closed = HPI_CloseEvm(file) == 0;
    g_edit.saves += appended && closed;
    return appended && closed ? 1 : 0;
}

// What the modal dialog that a key opened showed, read from inside its own loop.
struct SeenDialog {
    bool seen = false;
    std::wstring filters;
} g_dialog;

BOOL CALLBACK CancelFileDialog(HWND window, LPARAM) {
    wchar_t kind[16] = {};
    ::GetClassNameW(window, kind, 16);
    if (!::IsWindowVisible(window) || std::wstring(kind) != L"#32770") return TRUE;
    g_dialog.seen = true;
    HWND combo = ::GetDlgItem(window, kFilterCombo);
    int count = combo != nullptr ? static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t item[128] = {};
        ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        g_dialog.filters += std::wstring(item) + L"|";
    }
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

void CALLBACK OnDialogTimer(HWND, UINT, UINT_PTR, DWORD) {
    ::EnumThreadWindows(::GetCurrentThreadId(), CancelFileDialog, 0);
}

// Runs the thread's messages as devhost's loop does, shortcuts first.
void PumpAsDevhost() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (devhost::TranslateMainWindowKey(&msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// A key pressed with modifiers held, as it reaches the focused window; a dialog it opens
// is looked at and cancelled.
void Press(HWND target, std::vector<int> modifiers, int key) {
    BYTE state[256];
    ::GetKeyboardState(state);
    bool alt = false;
    for (int modifier : modifiers) state[modifier] = 0x80, alt = alt || modifier == VK_MENU;
    ::SetKeyboardState(state);
    g_dialog = SeenDialog();
    UINT_PTR timer = ::SetTimer(nullptr, 0, 100, OnDialogTimer);
    ::PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, alt ? (1 | (1 << 29)) : 1);
    PumpAsDevhost();
    ::KillTimer(nullptr, timer);
    for (int modifier : modifiers) state[modifier] = 0;
    ::SetKeyboardState(state);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        DH_Reset();
        DH_CaptureMessageBoxesOf(::GetModuleHandleW(nullptr));
        g_edit = HeldEdit();
        HPI_AddMapHook(kTestPluginHandle, EditHook);
        path_ = Utf8(TestFolder()) + "山 の 地図.map";
        MapHeader header;
        header.width = 400;
        header.height = 300;
        header.originLat = 36.5;
        header.originLon = -84.0;
        header.cellLat = header.cellLon = 1.0 / 1200.0;
        std::vector<int16_t> grid(400 * 300, 100);
        std::string error;
        ASSERT_TRUE(CreateMapFile(path_, header, grid.data(), &error)) << error;
        window_ = devhost::CreateMainWindow(::GetModuleHandleW(nullptr));
        ASSERT_NE(nullptr, window_);
        ::ShowWindow(window_, SW_SHOW);
    }
    void TearDown() override {
        HPI_HANDLE map = HPI_GetActiveBaseMap();
        if (map != 0) DH_CloseMap(map);
        devhost::SetViewMap(devhost::MapViewOf(window_), 0);
        if (::IsWindow(window_)) ::DestroyWindow(window_);
        MSG quit;
        while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        ::SetFileAttributesW(Widen(path_).c_str(), FILE_ATTRIBUTE_NORMAL);
        DH_CaptureMessageBoxes(0);
        DH_Reset();
    }

    std::wstring Title() {
        PumpAsDevhost();
        wchar_t text[256] = {};
        ::GetWindowTextW(window_, text, 256);
        return text;
    }
    // An edit as a plug-in pushes it.
    void Edit() {
        g_edit.held = true;
        HPI_ReplaceCache(HPI_GetActiveBaseMap(), 0, g_edit.block.data());
    }
    std::wstring LastMessageBox() {
        DH_MESSAGEBOX box = {};
        int count = DH_MessageBoxCount();
        return count > 0 && DH_GetMessageBox(count - 1, &box) ? box.text : L"";
    }

    std::string path_;
    HWND window_ = nullptr;
};

TEST_F(MainWindowTest, TitleNamesTheMapAndMarksUnsavedEditsAndReadOnlyMaps) {
    DH_CaptureMessageBoxes(IDYES);
    ASSERT_NE(0u, devhost::OpenMapFile(window_, Widen(path_)));
    EXPECT_EQ(L"山 の 地図.map - devhost", Title());
    EXPECT_EQ(0, DH_MessageBoxCount()) << "a writable map opens without a word";
    Edit();
    EXPECT_EQ(L"山 の 地図.map * - devhost", Title());
    Press(devhost::MapViewOf(window_), {VK_CONTROL}, 'S');
    EXPECT_EQ(1, g_edit.saves);
    EXPECT_EQ(L"山 の 地図.map - devhost", Title());

    DH_CloseMap(HPI_GetActiveBaseMap());
    ASSERT_TRUE(::SetFileAttributesW(Widen(path_).c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string before = ReadFileBytes(path_);
    ASSERT_NE(0u, devhost::OpenMapFile(window_, Widen(path_)));
    EXPECT_NE(std::wstring::npos, LastMessageBox().find(L"読み取り専用")) << Narrow(LastMessageBox());
    EXPECT_EQ(L"山 の 地図.map (読み取り専用) - devhost", Title());
    Edit();
    EXPECT_EQ(L"山 の 地図.map (読み取り専用) * - devhost", Title());
    Press(devhost::MapViewOf(window_), {VK_CONTROL}, 'S');
    EXPECT_NE(std::wstring::npos, LastMessageBox().find(L"名前を付けて保存しますか?")) << Narrow(LastMessageBox());
    EXPECT_TRUE(g_dialog.seen) << "answered yes: the Save As dialog opens";
    EXPECT_EQ(1, g_edit.saves) << "the plug-in was not asked to save";
    EXPECT_EQ(before, ReadFileBytes(path_));
}

// Each shortcut does what its menu entry does: the two file dialogs open (Open lists map
// files and all files), Ctrl+S saves, Alt+F4 closes the window.
TEST_F(MainWindowTest, ShortcutsReachTheFileMenu) {
    DH_CaptureMessageBoxes(IDNO);
    ASSERT_NE(0u, devhost::OpenMapFile(window_, Widen(path_)));
    struct Row {
        const char* keys;
        std::vector<int> modifiers;
        int key;
        bool dialog;
        int saves;
        bool closes;
    } rows[] = {
        {"Ctrl+O", {VK_CONTROL}, 'O', true, 0, false},
        {"Ctrl+Shift+S", {VK_CONTROL, VK_SHIFT}, 'S', true, 0, false},
        {"Ctrl+S", {VK_CONTROL}, 'S', false, 1, false},
        {"S alone", {}, 'S', false, 1, false},
        {"Alt+F4", {VK_MENU}, VK_F4, false, 1, true},
    };
    for (const Row& row : rows) {
        Edit();
        Press(devhost::MapViewOf(window_), row.modifiers, row.key);
        EXPECT_EQ(row.dialog, g_dialog.seen) << row.keys;
        EXPECT_EQ(row.saves, g_edit.saves) << row.keys;
        EXPECT_EQ(row.closes, !::IsWindow(window_)) << row.keys;
        if (std::string(row.keys) == "Ctrl+O") {
            EXPECT_NE(std::wstring::npos, g_dialog.filters.find(L"(*.map)")) << Narrow(g_dialog.filters);
            EXPECT_NE(std::wstring::npos, g_dialog.filters.find(L"すべてのファイル")) << Narrow(g_dialog.filters);
        }
    }
}

}  // namespace
