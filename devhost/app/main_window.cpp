#include "devhost/app/main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "devhost/app/map_view.h"
#include "devhost/app/report.h"
#include "devhost/app/user_messages.h"
#include "devhost/hpi/devhost_api.h"
#include "host/utf8_win.h"
#include "mapstore/file_io.h"

namespace devhost {
namespace {

const wchar_t kClassName[] = L"DevhostMainWindow";
const int kStatusBarId = 100;
const int kToolsMenuIndex = 1;
// Plug-in windows that would cover the menu bar go to the screen's top-left corner (a
// palette is about 130 pixels wide); the main window opens beside them.
const int kMainWindowLeft = 160;

HWND g_mapView = nullptr;
HWND g_mainWindow = nullptr;
HACCEL g_accelerators = nullptr;
// Below this much room a failed write is taken for a full disk.
const unsigned long long kFullDiskBytes = 1 << 20;

enum Command {
    kCommandExit = 100,
    kCommandOpen = 101,
    kCommandSave = 102,
    kCommandCloseMap = 103,
    kCommandSaveAs = 104,
    kCommandPaintVoids = 105,
};
const int kSettingsMenuIndex = 2;

HMENU BuildMenuBar() {
    HMENU bar = ::CreateMenu();
    HMENU file = ::CreatePopupMenu();
    ::AppendMenuW(file, MF_STRING, kCommandOpen, L"地図を開く(&O)...\tCtrl+O");
    ::AppendMenuW(file, MF_STRING, kCommandSave, L"保存(&S)\tCtrl+S");
    ::AppendMenuW(file, MF_STRING, kCommandSaveAs, L"名前を付けて保存(&A)...\tCtrl+Shift+S");
    ::AppendMenuW(file, MF_STRING, kCommandCloseMap, L"地図を閉じる(&C)");
    ::AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(file, MF_STRING, kCommandExit, L"終了(&X)\tAlt+F4");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"ファイル(&F)");
    HMENU tools = ::CreatePopupMenu();
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"ツール(&T)");
    HMENU settings = ::CreatePopupMenu();
    ::AppendMenuW(settings, MF_STRING | MF_UNCHECKED, kCommandPaintVoids, L"欠測セルも塗る(&V)");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(settings), L"設定(&S)");
    return bar;
}

HACCEL BuildAccelerators() {
    ACCEL keys[] = {
        {FVIRTKEY | FCONTROL, 'O', kCommandOpen},
        {FVIRTKEY | FCONTROL, 'S', kCommandSave},
        {FVIRTKEY | FCONTROL | FSHIFT, 'S', kCommandSaveAs},
        {FVIRTKEY | FALT, VK_F4, kCommandExit},
    };
    return ::CreateAcceleratorTableW(keys, sizeof keys / sizeof keys[0]);
}

void OnPluginCommand(HWND window, int index) {
    DH_REGISTRATION entry;
    if (DH_GetRegistration(index, &entry) && entry.proc != nullptr) {
        entry.proc(kEventMenuChosen, 0, 0);
        MovePluginWindowsOffMenu(window);
    }
}

BOOL CALLBACK MoveOffMenu(HWND window, LPARAM lp) {
    HWND mainWindow = reinterpret_cast<HWND>(lp);
    if (!::IsWindowVisible(window) || ::GetWindow(window, GW_OWNER) != mainWindow) return TRUE;
    RECT frame, bar, overlap;
    POINT clientOrigin = {0, 0};
    ::GetWindowRect(mainWindow, &frame);
    ::ClientToScreen(mainWindow, &clientOrigin);
    bar = RECT{frame.left, frame.top, frame.right, clientOrigin.y};
    RECT rect;
    ::GetWindowRect(window, &rect);
    if (::IntersectRect(&overlap, &rect, &bar)) {
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

// The status bar's second part, shown while it has something to say: what the last edit
// did to the map's voids.
std::wstring g_statusNote;
const int kStatusNoteWidth = 360;

void LayOutStatusParts(HWND window, int width) {
    int parts[2] = {std::max(0, width - kStatusNoteWidth), -1};
    HWND status = ::GetDlgItem(window, kStatusBarId);
    const bool noted = !g_statusNote.empty();
    ::SendMessageW(status, SB_SETPARTS, noted ? 2 : 1, reinterpret_cast<LPARAM>(noted ? parts : parts + 1));
    if (noted) ::SendMessageW(status, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(g_statusNote.c_str()));
}

std::wstring VoidNote(const DH_VOIDTALLY& edit) {
    if (edit.touched == 0) return std::wstring();
    std::wstring touched = std::to_wstring(edit.touched);
    if (edit.kept == edit.touched) return L"直前の編集: 欠測 " + touched + L" セルは欠測のまま";
    if (edit.kept == 0) return L"直前の編集: 欠測 " + touched + L" セルを塗りました";
    return L"直前の編集: 欠測 " + touched + L" セル (" + std::to_wstring(edit.kept) + L" セルは欠測のまま)";
}

// Runs inside the plug-in's call that ends an edit: sets a text, nothing more.
void OnVoidsTouched(HPI_HANDLE, const DH_VOIDTALLY* edit) {
    if (g_mainWindow == nullptr || edit == nullptr) return;
    if (edit->touched > 0) {
        std::printf("edit: %ld void cells touched, %ld kept void\n", edit->touched, edit->kept);
    }
    g_statusNote = VoidNote(*edit);
    RECT client;
    ::GetClientRect(g_mainWindow, &client);
    LayOutStatusParts(g_mainWindow, client.right);
}

const wchar_t kNotSaved[] = L"地図を保存できませんでした。ディスク上の地図は変わっていません。";

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// The last save's failure, as devhost tells it: `path` is the map's file or the new name.
MapFailure LastSaveFailure(MapTask task, const std::string& path) {
    return MapFailure{task, path, DH_LastSaveError(), FreeBytesIn(FolderOf(path)) < kFullDiskBytes};
}

std::wstring SaveFailure() {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    return MapFailureText(LastSaveFailure(MapTask::kSave, map != 0 ? HPI_GetMapFile(map) : ""));
}

// A save that failed only because the map's file system takes no lock is tried again
// without one when the user says that no other program writes the map meanwhile.
int SaveAsking(HWND window, HPI_HANDLE map, const char* path) {
    auto save = [&] { return path != nullptr ? DH_SaveMapAs(map, path) : DH_SaveMap(map); };
    if (save() != 0) return 1;
    if (!DH_LastSaveLockUnavailable()) return 0;
    std::wstring question = L"地図ファイルをロックできないため、保存しませんでした (" + Widen(DH_LastSaveError()) +
                            L")。\nこのファイルシステムはロックに対応していないかもしれません。ほかのプログラムが同時に"
                            L"この地図を書くと、どちらかの保存が失われます。\n\nほかのプログラムがこの地図を書いていない"
                            L"ことを確かめましたか? ロックなしで保存しますか?";
    if (Ask(window, question, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, IDNO) != IDYES) return 0;
    // Not allowed before, or the save would not have failed: allowed for this save alone.
    DH_AllowUnlockedSaves(1);
    int saved = save();
    DH_AllowUnlockedSaves(0);
    return saved;
}

// Edits made since the last successful save are offered for saving; false when the user
// cancels or the save failed, so that nothing is lost. A headless run keeps nothing
// waiting: it does not save on its own, and says so.
bool OfferToSave(HWND window) {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    if (map == 0 || !DH_MapHasUnsavedEdits(map)) return true;
    int answer = Ask(window, L"地図に保存されていない変更があります。保存しますか?",
                     MB_YESNOCANCEL | MB_ICONQUESTION, IDNO);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES && !SaveAsking(window, map, nullptr)) {
        ReportError(window, SaveFailure());
        return false;
    }
    return true;
}

// Asks for a map file's name, to open (an existing file) or to save under; empty when the
// user cancels.
std::wstring AskMapFileName(HWND window, bool forSaving) {
    wchar_t path[MAX_PATH] = L"";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = L"地図ファイル (*.map)\0*.map\0すべてのファイル\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"map";
    dialog.Flags = OFN_PATHMUSTEXIST | (forSaving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    bool chosen = forSaving ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    return chosen ? std::wstring(path) : std::wstring();
}

void ShowSaved(HWND window) {
    SetStatusText(window, L"保存しました");
    RefreshTitle(window);
}

void OnOpenMap(HWND window) {
    std::wstring path = AskMapFileName(window, false);
    if (!path.empty()) OpenMapFile(window, path);
}

// Keeps the edits when the map's own file cannot take them (another program saved to it,
// a block could not be read): the map as devhost read it, with the edits, under a new name.
void OnSaveMapAs(HWND window) {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    if (map == 0) return;
    std::wstring path = AskMapFileName(window, true);
    if (path.empty()) return;
    if (SaveAsking(window, map, Narrow(path).c_str())) return ShowSaved(window);
    SetStatusText(window, kNotSaved);
    ReportError(window, MapFailureText(LastSaveFailure(MapTask::kSaveAs, Narrow(path))));
}

// A failure that a new name gets round (a read-only map, another program's save) offers
// 名前を付けて保存 before anything else; a headless run says so and saves nothing.
void OnSaveMap(HWND window) {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    if (map == 0) return;
    if (SaveAsking(window, map, nullptr)) return ShowSaved(window);
    SetStatusText(window, kNotSaved);
    MapFailure failure = LastSaveFailure(MapTask::kSave, HPI_GetMapFile(map));
    std::wstring text = MapFailureText(failure);
    if (!SaveAsGetsRound(failure) || IsHeadless()) return ReportError(window, text);
    if (Ask(window, text + L"\n\n名前を付けて保存しますか?", MB_YESNO | MB_ICONWARNING, IDNO) == IDYES) {
        OnSaveMapAs(window);
    }
}

void OnCloseMap(HWND window) {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    if (map == 0 || !OfferToSave(window)) return;
    DH_CloseMap(map);
    SetViewMap(g_mapView, 0);
    SetStatusText(window, L"地図なし");
    RefreshTitle(window);
}

LRESULT OnCommand(HWND window, WPARAM wp) {
    int id = LOWORD(wp);
    if (id == kCommandOpen) {
        OnOpenMap(window);
    } else if (id == kCommandSave) {
        OnSaveMap(window);
    } else if (id == kCommandSaveAs) {
        OnSaveMapAs(window);
    } else if (id == kCommandCloseMap) {
        OnCloseMap(window);
    } else if (id == kCommandPaintVoids) {
        SetPaintVoids(window, !DH_GetPaintVoids());
    } else if (id == kCommandExit) {
        ::SendMessageW(window, WM_CLOSE, 0, 0);
    } else if (id >= kFirstPluginCommand) {
        OnPluginCommand(window, id - kFirstPluginCommand);
    }
    return 0;
}

// The view fills the client area above the status bar.
LRESULT OnSize(HWND window) {
    HWND status = ::GetDlgItem(window, kStatusBarId);
    ::SendMessageW(status, WM_SIZE, 0, 0);
    RECT client, bar;
    ::GetClientRect(window, &client);
    LayOutStatusParts(window, client.right);
    ::GetWindowRect(status, &bar);
    int height = client.bottom - (bar.bottom - bar.top);
    if (g_mapView != nullptr) ::MoveWindow(g_mapView, 0, 0, client.right, height > 0 ? height : 0, TRUE);
    return 0;
}

LRESULT OnClose(HWND window) {
    if (OfferToSave(window)) ::DestroyWindow(window);
    return 0;
}

LRESULT OnDestroy() {
    DH_SetVoidsTouchedHook(nullptr);
    g_mainWindow = nullptr;
    ::PostQuitMessage(0);
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        return OnCommand(window, wp);
    case WM_SIZE:
        return OnSize(window);
    case WM_CLOSE:
        return OnClose(window);
    case kMessageMapChanged:
        RefreshTitle(window);
        return 0;
    case WM_DESTROY:
        return OnDestroy();
    default:
        return ::DefWindowProcW(window, msg, wp, lp);
    }
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);
    HWND window = ::CreateWindowExW(0, kClassName, L"devhost", WS_OVERLAPPEDWINDOW, kMainWindowLeft, 0, 900,
                                    640, nullptr, BuildMenuBar(), instance, nullptr);
    if (window == nullptr) return nullptr;
    ::CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                      0, window, reinterpret_cast<HMENU>(kStatusBarId), instance, nullptr);
    g_mapView = CreateMapView(window, instance);
    g_mainWindow = window;
    g_statusNote.clear();
    DH_SetVoidsTouchedHook(OnVoidsTouched);
    if (g_accelerators == nullptr) g_accelerators = BuildAccelerators();
    OnSize(window);
    return window;
}

void RebuildToolsMenu(HWND mainWindow) {
    HMENU tools = ::GetSubMenu(::GetMenu(mainWindow), kToolsMenuIndex);
    while (::GetMenuItemCount(tools) > 0) ::DeleteMenu(tools, 0, MF_BYPOSITION);
    for (int i = 0; i < DH_RegistrationCount(); ++i) {
        DH_REGISTRATION entry;
        if (!DH_GetRegistration(i, &entry) || entry.kind != kRegisteredMenu) continue;
        if (entry.group != kMenuGroupTools) continue;
        if (!entry.hasText) {
            ::AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
        } else {
            ::AppendMenuW(tools, MF_STRING, static_cast<UINT_PTR>(kFirstPluginCommand + i),
                          Widen(entry.text).c_str());
        }
    }
    ::DrawMenuBar(mainWindow);
}

namespace {

std::wstring FileNameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// What the reader found damaged goes to stderr always, and to the status bar and a
// message in an interactive session; a clean map shows its path.
void ReportMapWarnings(HWND mainWindow, HPI_HANDLE map, const std::wstring& path) {
    int count = DH_MapWarningCount(map);
    if (count == 0) {
        SetStatusText(mainWindow, path);
        return;
    }
    std::wstring details;
    for (int i = 0; i < count; ++i) {
        const char* warning = DH_GetMapWarning(map, i);
        std::fprintf(stderr, "devhost: %s: %s\n", Narrow(path).c_str(), warning);
        if (i < 8) details += L"\n" + Widen(warning);
    }
    std::wstring summary = L"地図ファイルに損傷があります (" + std::to_wstring(count) + L" 件)";
    SetStatusText(mainWindow, summary + L": " + path);
    if (!IsHeadless()) {
        ::MessageBoxW(mainWindow, (summary + L"。読める部分だけを表示します。" + details).c_str(), L"devhost",
                      MB_OK | MB_ICONWARNING);
    }
}

}  // namespace

HPI_HANDLE OpenMapFile(HWND mainWindow, const std::wstring& path) {
    char error[512] = {};
    HPI_HANDLE map = DH_OpenMap(Narrow(path).c_str(), error, sizeof error);
    if (map == 0) {
        ReportError(mainWindow, MapFailureText(MapFailure{MapTask::kOpen, Narrow(path), error, false}));
        return 0;
    }
    SetViewMap(g_mapView, map);
    g_statusNote.clear();  // about the map shown before
    OnSize(mainWindow);
    ReportMapWarnings(mainWindow, map, path);
    RefreshTitle(mainWindow);
    if (DH_MapIsReadOnly(map)) {
        Inform(mainWindow, L"「" + FileNameOf(path) + L"」は読み取り専用です。表示と編集はできますが、"
                           L"変更は名前を付けて保存で別の名前に保存してください。");
    }
    return map;
}

HWND MapViewOf(HWND) { return g_mapView; }

int SaveMapAskingAboutLock(HWND mainWindow, HPI_HANDLE map, const char* path) {
    return SaveAsking(mainWindow, map, path);
}

void SetPaintVoids(HWND mainWindow, bool paint) {
    DH_SetPaintVoids(paint ? 1 : 0);
    HMENU settings = ::GetSubMenu(::GetMenu(mainWindow), kSettingsMenuIndex);
    ::CheckMenuItem(settings, kCommandPaintVoids, MF_BYCOMMAND | (paint ? MF_CHECKED : MF_UNCHECKED));
}

std::wstring StatusNote(HWND mainWindow) {
    HWND status = ::GetDlgItem(mainWindow, kStatusBarId);
    if (::SendMessageW(status, SB_GETPARTS, 0, 0) < 2) return std::wstring();
    wchar_t text[256] = {};
    ::SendMessageW(status, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
    return text;
}

// Dialog templates are placed relative to their owner, so a palette opens over the
// main window's caption and menu.
void MovePluginWindowsOffMenu(HWND mainWindow) {
    ::EnumThreadWindows(::GetCurrentThreadId(), MoveOffMenu, reinterpret_cast<LPARAM>(mainWindow));
}

void RefreshTitle(HWND mainWindow) {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    std::wstring title = L"devhost";
    if (map != 0) {
        std::wstring marks = DH_MapIsReadOnly(map) ? L" (読み取り専用)" : L"";
        if (DH_MapHasUnsavedEdits(map)) marks += L" *";
        title = FileNameOf(Widen(HPI_GetMapFile(map))) + marks + L" - devhost";
    }
    ::SetWindowTextW(mainWindow, title.c_str());
}

bool TranslateMainWindowKey(MSG* msg) {
    if (g_mainWindow == nullptr || !::IsWindow(g_mainWindow) || !::IsWindowEnabled(g_mainWindow)) return false;
    return ::TranslateAcceleratorW(g_mainWindow, g_accelerators, msg) != 0;
}

void SetStatusText(HWND mainWindow, const std::wstring& text) {
    ::SendMessageW(::GetDlgItem(mainWindow, kStatusBarId), SB_SETTEXTW, 0,
                   reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace devhost
