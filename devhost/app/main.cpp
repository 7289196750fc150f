// devhost: loads the plug-in module as a host does and shows its main window.
//   devhost.exe [--plugin PATH] [--host-version N] [--profile-dir DIR]
//               [--map FILE] [--script FILE] [--out DIR] [--compare ORIGINAL]
//               [--screenshot PNG] [--menu-screenshot PNG] [--quit] [--log FILE]
//               [--paint-voids] [--no-lock]
// Without --profile-dir the plug-in's settings live in %APPDATA%\Zolva.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "devhost/app/main_window.h"
#include "devhost/app/output.h"
#include "devhost/app/report.h"
#include "devhost/app/screenshot.h"
#include "devhost/app/script.h"
#include "devhost/app/summary.h"
#include "devhost/hpi/devhost_api.h"
#include "host/plugin_entry.h"
#include "host/utf8_win.h"
#include "mapstore/map_file.h"

namespace {


const HPI_HANDLE kPluginHandle = 1;

struct Options {
    std::wstring plugin = L"Zolva.qpl";
    int hostVersion = 800;
    std::string profileDir;  // empty: %APPDATA%\\Zolva
    std::string screenshot;
    std::string menuScreenshot;
    std::wstring map;
    std::string script;
    std::string out;
    std::string compare;
    long reserveMegabytes = 0;
    std::wstring log;
    bool quit = false;
    bool help = false;
    bool paintVoids = false;
    bool noLock = false;
};

const char kUsage[] =
    "devhost: a stand-in host that loads the terrain editor plug-in and shows a map.\n"
    "usage: devhost.exe [options]\n"
    "  --map FILE             open a map file\n"
    "  --plugin PATH          the plug-in module to load (default Zolva.qpl)\n"
    "  --host-version N       what the host says its version is (default 800)\n"
    "  --profile-dir DIR      where the plug-in's settings live (default %APPDATA%\\Zolva)\n"
    "  --script FILE          run a scripted session (its commands below)\n"
    "  --out DIR              folder for the script's relative paths (made when missing)\n"
    "  --compare ORIGINAL     at the end, print what changed in the map against ORIGINAL\n"
    "  --screenshot PNG       write the main window as a PNG\n"
    "  --menu-screenshot PNG  drop down the Tools menu and write it as a PNG\n"
    "  --quit                 headless: answer the plug-in's message boxes, exit when done\n"
    "  --paint-voids          edits paint over the map's voids (Settings > 欠測セルも塗る);\n"
    "                         without it a void cell stays void whatever an edit does there\n"
    "  --no-lock              save even where the map's file system cannot lock it (some\n"
    "                         network mounts): only when no other program writes the map\n"
    "  --reserve-address-space MB\n"
    "                         take MB of address space first, as a busy host would have\n"
    "  --log FILE             write what devhost prints into FILE; without it, runs with\n"
    "                         --script or --quit print into the console they were started from\n"
    "  --help                 this text\n"
    "Shortcuts: Ctrl+O open, Ctrl+S save, Ctrl+Shift+S save as, Alt+F4 exit.\n\n";

// False, with the reason in `error`, for an option devhost does not know.
bool ParseOptions(Options* options, std::string* error) {
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i) {
        std::wstring arg = args[i];
        bool hasValue = i + 1 < count;
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            options->help = true;
        } else if (arg == L"--quit") {
            options->quit = true;
        } else if (arg == L"--paint-voids") {
            options->paintVoids = true;
        } else if (arg == L"--no-lock") {
            options->noLock = true;
        } else if (arg == L"--plugin" && hasValue) {
            options->plugin = args[++i];
        } else if (arg == L"--host-version" && hasValue) {
            options->hostVersion = std::wcstol(args[++i], nullptr, 10);
        } else if (arg == L"--profile-dir" && hasValue) {
            options->profileDir = Narrow(args[++i]);
        } else if (arg == L"--menu-screenshot" && hasValue) {
            options->menuScreenshot = Narrow(args[++i]);
        } else if (arg == L"--script" && hasValue) {
            options->script = Narrow(args[++i]);
        } else if (arg == L"--out" && hasValue) {
            options->out = Narrow(args[++i]);
        } else if (arg == L"--compare" && hasValue) {
            options->compare = Narrow(args[++i]);
        } else if (arg == L"--map" && hasValue) {
            options->map = args[++i];
        } else if (arg == L"--reserve-address-space" && hasValue) {
            options->reserveMegabytes = std::wcstol(args[++i], nullptr, 10);
        } else if (arg == L"--screenshot" && hasValue) {
            options->screenshot = Narrow(args[++i]);
        } else if (arg == L"--log" && hasValue) {
            options->log = args[++i];
        } else {
            *error = "unknown or incomplete option " + Narrow(arg);
            ::LocalFree(args);
            return false;
        }
    }
    ::LocalFree(args);
    return true;
}

void PrintRegistrations() {
    static const char* const kKinds[] = {"", "menu", "map hook", "view hook"};
    for (int i = 0; i < DH_RegistrationCount(); ++i) {
        DH_REGISTRATION entry;
        DH_GetRegistration(i, &entry);
        if (entry.kind == kRegisteredMenu) {
            std::printf("registered %s: group %u, %s\n", kKinds[entry.kind], entry.group,
                        entry.hasText ? entry.text : "(separator)");
        } else {
            std::printf("registered %s\n", kKinds[entry.kind]);
        }
    }
}

HMODULE LoadAndInitPlugin(const Options& options) {
    HMODULE module = DH_LoadPlugin(options.plugin.c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "devhost: cannot load %s (error %lu)\n", Narrow(options.plugin).c_str(),
                     ::GetLastError());
        return nullptr;
    }
    auto init = reinterpret_cast<InitProc>(::GetProcAddress(module, "Init"));
    if (init == nullptr) {
        std::fprintf(stderr, "devhost: %s has no Init\n", Narrow(options.plugin).c_str());
        ::FreeLibrary(module);
        return nullptr;
    }
    HPI_PLUGININFO info = {};
    int accepted = init(&info, kPluginHandle);
    std::printf("Init returned %d: name \"%s\", version \"%s\"\n", accepted, info.name, info.version);
    PrintRegistrations();
    return module;
}

// Reserves (without committing) up to `megabytes` of address space in 16 MB pieces, so
// that what is left is what a host whose own maps fill its address space leaves a
// plug-in. Kept until the process ends; returns the megabytes taken.
long ReserveAddressSpace(long megabytes) {
    const long kPiece = 16;
    long taken = 0;
    while (taken + kPiece <= megabytes &&
           ::VirtualAlloc(nullptr, static_cast<SIZE_T>(kPiece) << 20, MEM_RESERVE, PAGE_NOACCESS) != nullptr) {
        taken += kPiece;
    }
    return taken;
}

// Where a user's settings live on Windows: %APPDATA%\Zolva (made when missing), never the
// program's or the working folder, which may be read-only.
std::string SettingsFolder() {
    wchar_t appData[MAX_PATH] = L"";
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData))) return "profiles";
    std::wstring folder = std::wstring(appData) + L"\\Zolva";
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return Narrow(folder);
}

// SHCreateDirectoryEx takes full paths only; a relative --out is taken from the current folder.
std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 4];
    DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    return length > 0 && length < MAX_PATH * 4 ? std::wstring(full, length) : path;
}

// Pumps messages for a while so that windows are painted before a screenshot.
void PumpFor(DWORD milliseconds) {
    DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < milliseconds) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (devhost::TranslateMainWindowKey(&msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
}

std::string g_menuShotPath;
bool g_menuShotTaken = false;

// Runs inside the menu's own message loop: the open menu is on screen now.
void CALLBACK TakeMenuScreenshot(HWND window, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(window, id);
    std::string error;
    g_menuShotTaken = SaveWindowScreenshot(window, g_menuShotPath, &error);
    if (!g_menuShotTaken) std::fprintf(stderr, "devhost: %s\n", error.c_str());
    ::EndMenu();
}

// Drops down the Tools menu, where the plug-ins' entries are, and photographs it.
bool SaveToolsMenuScreenshot(HWND window, const std::string& path) {
    g_menuShotPath = path;
    HMENU tools = ::GetSubMenu(::GetMenu(window), 1);
    RECT item;
    if (tools == nullptr || !::GetMenuItemRect(window, ::GetMenu(window), 1, &item)) return false;
    ::SetTimer(window, 1, 400, TakeMenuScreenshot);
    ::TrackPopupMenu(tools, TPM_LEFTALIGN | TPM_TOPALIGN, item.left, item.bottom, 0, window, nullptr);
    return g_menuShotTaken;
}

// Runs the script; a failure names the line and the reason.
bool RunSessionScript(HWND window, const Options& options) {
    devhost::ScriptResult result = devhost::RunScript(window, options.script, options.out);
    if (!result.ok) {
        std::fprintf(stderr, "devhost: %s:%d: %s\n", options.script.c_str(), result.line, result.reason.c_str());
        return false;
    }
    std::printf("script %s: %d lines done\n", options.script.c_str(), result.line);
    return true;
}

// Summary of what the session changed in the active map's file against the original.
bool PrintChanges(const std::string& original) {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    if (map == 0) return false;
    devhost::MapChanges changes;
    std::string error;
    if (!devhost::CompareMapFiles(original, HPI_GetMapFile(map), &changes, &error)) {
        std::fprintf(stderr, "devhost: cannot compare with %s: %s\n", original.c_str(), error.c_str());
        return false;
    }
    std::printf("map %s: %d of %d blocks edited, %ld samples changed, altitude change %+d .. %+d m\n",
                HPI_GetMapFile(map), changes.blocksChanged, changes.blocksCompared, changes.samplesChanged,
                changes.smallestChange, changes.largestChange);
    if (changes.voidsPaintedOver > 0) std::printf("%ld voids painted over\n", changes.voidsPaintedOver);
    MapHeader header;
    DH_VOIDTALLY edits = {};
    if (DH_GetMapHeader(map, &header) && header.hasVoidValue && DH_GetVoidTally(map, nullptr, &edits)) {
        std::printf("void cells touched by edits: %ld in %ld edit(s), %ld kept void, %ld painted over\n", edits.touched,
                    edits.edits, edits.kept, edits.touched - edits.kept);
    }
    return true;
}

int RunMessageLoop() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (devhost::TranslateMainWindowKey(&msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void UnloadPlugin(HMODULE module) {
    auto close = reinterpret_cast<CloseProc>(::GetProcAddress(module, "Close"));
    if (close != nullptr) close();
    ::FreeLibrary(module);
}

}  // namespace

int main() {
    Options options;
    std::string error;
    std::string unused;
    if (!ParseOptions(&options, &error)) {
        devhost::RouteOutput(L"", true, &unused);
        std::fprintf(stderr, "devhost: %s\ndevhost: devhost.exe --help lists the options\n", error.c_str());
        return 2;
    }
    // Somebody reads what a script, a headless run or --help prints.
    const bool printsForSomebody = options.quit || options.help || !options.script.empty();
    if (!devhost::RouteOutput(options.log, printsForSomebody, &error)) {
        devhost::RouteOutput(L"", true, &unused);
        std::fprintf(stderr, "devhost: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        std::fputs(devhost::ScriptCommandsHelp(), stdout);
        return 0;
    }
    if (options.reserveMegabytes > 0) {
        std::printf("reserved %ld MB of address space\n", ReserveAddressSpace(options.reserveMegabytes));
    }
    DH_SetVersion(options.hostVersion);
    DH_SetProfileDir(options.profileDir.empty() ? SettingsFolder().c_str() : options.profileDir.c_str());
    DH_CaptureMessageBoxes(options.quit ? IDOK : 0);
    devhost::SetHeadless(options.quit);
    if (!options.out.empty()) {
        int made = ::SHCreateDirectoryExW(nullptr, FullPath(Widen(options.out)).c_str(), nullptr);
        if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
            std::fprintf(stderr, "devhost: cannot create the output folder %s (error %d)\n", options.out.c_str(), made);
            return 1;
        }
    }

    HWND window = devhost::CreateMainWindow(::GetModuleHandleW(nullptr));
    if (window == nullptr) {
        std::fprintf(stderr, "devhost: cannot create the main window\n");
        return 1;
    }
    DH_SetMainWnd(window);
    devhost::SetPaintVoids(window, options.paintVoids);
    DH_AllowUnlockedSaves(options.noLock ? 1 : 0);
    HMODULE plugin = LoadAndInitPlugin(options);
    devhost::RebuildToolsMenu(window);
    devhost::SetStatusText(window, plugin != nullptr ? L"プラグイン読み込み済み" : L"プラグインなし");
    if (!options.map.empty()) {
        unsigned map = devhost::OpenMapFile(window, options.map);
        if (map == 0) return 1;
        std::printf("map %u: %s, type %u\n", map, HPI_GetMapFile(map), HPI_GetMapType(map));
    }
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);

    int result = 0;
    if (!options.screenshot.empty()) {
        PumpFor(500);
        std::string error;
        if (SaveWindowScreenshot(window, options.screenshot, &error)) {
            std::printf("screenshot: %s\n", options.screenshot.c_str());
        } else {
            std::fprintf(stderr, "devhost: %s\n", error.c_str());
            result = 1;
        }
    }
    if (!options.script.empty() && !RunSessionScript(window, options)) result = 2;
    if (result == 0 && !options.compare.empty() && !PrintChanges(options.compare)) result = 1;
    if (!options.menuScreenshot.empty()) {
        if (SaveToolsMenuScreenshot(window, options.menuScreenshot)) {
            std::printf("screenshot: %s\n", options.menuScreenshot.c_str());
        } else {
            result = 1;
        }
    }
    if (!options.quit) result = RunMessageLoop();
    if (plugin != nullptr) UnloadPlugin(plugin);
    if (options.quit && ::IsWindow(window)) ::DestroyWindow(window);
    std::fflush(stdout);
    if (result == 0 && devhost::FailureReported()) result = 1;
    return plugin != nullptr ? result : 1;
}
