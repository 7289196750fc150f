#include "devhost/app/script.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "devhost/app/geo_text.h"
#include "devhost/app/main_window.h"
#include "devhost/app/map_view.h"
#include "devhost/app/screenshot.h"
#include "devhost/app/script_controls.h"
#include "devhost/app/script_text.h"
#include "devhost/app/user_messages.h"
#include "devhost/hpi/devhost_api.h"
#include "mapstore/file_io.h"
#include "mapstore/map_file.h"
#include "host/utf8_win.h"

namespace devhost {
namespace {

const char kScriptCommands[] =
    "Script commands (one per line; blank lines and lines starting with # are skipped;\n"
    "relative paths are taken from the --out folder):\n"
    "  open PATH                    open a map file\n"
    "  menu TEXT                    choose the Tools menu entry with this text\n"
    "  click CONTROL                click a palette button\n"
    "  slider CONTROL POS           move a palette slider and release it\n"
    "  type CONTROL TEXT            replace the text of a palette edit box\n"
    "                               CONTROL: a name (raise, dig, flatten, size, altitude ...)\n"
    "                               or the control's number\n"
    "  key ESCAPE|TAB|ENTER         press a key in the palette\n"
    "  drag X0 Y0 X1 Y1 [STEPS]     drag in the map view between client pixels\n"
    "  dragmesh C0 R0 C1 R1 [STEPS] drag between mesh cells (column, row); either drag also\n"
    "                               takes a latitude and longitude (36.352N 84.19W) for a point\n"
    "  answer CONTROL TEXT          for the next generation dialog: text of an edit box\n"
    "  answer-slider CONTROL POS    ... move a slider\n"
    "  answer-click CONTROL         ... click a button (a blend method)\n"
    "  generate [PNG]               click generate, answer the dialog (photographed when a\n"
    "                               path is given) and confirm\n"
    "  generate-cancel [PNG]        the same, but cancel the dialog\n"
    "  undo                         click the palette's undo button\n"
    "  save                         save the map (the plug-ins write their edits)\n"
    "  saveas PATH                  save the map under a new name, which it then keeps\n"
    "  zoom Z                       Z > 0 pixels per sample, Z < 0 samples per pixel (16 to -64)\n"
    "  centre COLUMN ROW            centre the view on a mesh cell, or on LAT LON\n"
    "  wait MS                      let the windows run for a while\n"
    "  screenshot PATH              PNG of the main window with the palette\n"
    "  viewsize W H                 resize the main window so the view is W x H pixels\n"
    "  close [MS]                   close the main window as its close box does (after MS)\n"
    "  measure-moves COUNT PIXELS   time the view hook per pointer move of a stroke\n"
    "  measure-redraw COUNT         time full redraws of the view\n"
    "A failing command stops the script with its line number and the reason.\n";

const int kUndoButton = 8513;
const int kGenerateButton = 8518;
const wchar_t kGenerationTitle[] = L"地形の生成";
const wchar_t kPaletteTitle[] = L"地形エディタ";

struct Failure {
    std::string reason;
};

void Pump(DWORD milliseconds) {
    DWORD start = ::GetTickCount();
    MSG msg;
    do {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (TranslateMainWindowKey(&msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (milliseconds > 0) ::Sleep(5);
    } while (::GetTickCount() - start < milliseconds);
}

struct PaletteSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindPaletteWindow(HWND window, LPARAM lp) {
    auto* search = reinterpret_cast<PaletteSearch*>(lp);
    wchar_t title[64] = {};
    ::GetWindowTextW(window, title, 64);
    if (::IsWindowVisible(window) && ::GetWindow(window, GW_OWNER) == search->owner &&
        std::wstring(title) == kPaletteTitle) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Palette(HWND mainWindow) {
    PaletteSearch search = {mainWindow, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindPaletteWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND PaletteControl(HWND mainWindow, int id) {
    HWND palette = Palette(mainWindow);
    if (palette == nullptr) throw Failure{"the palette is not open"};
    HWND control = ::GetDlgItem(palette, id);
    if (control == nullptr) throw Failure{"the palette has no control " + std::to_string(id)};
    return control;
}

// Answers for the next generation dialog, applied from a timer inside its modal loop.
struct DialogAnswer {
    enum Kind { kText, kSlider, kClick } kind;
    int id;
    std::wstring text;
    int position;
};

struct PendingDialog {
    std::vector<DialogAnswer> answers;
    std::string screenshot;
    HWND owner = nullptr;
    int button = IDOK;
    bool answered = false;
    std::string error;
};

PendingDialog g_pending;

BOOL CALLBACK FindGenerationDialog(HWND window, LPARAM lp) {
    wchar_t title[64] = {};
    ::GetWindowTextW(window, title, 64);
    if (!::IsWindowVisible(window) || std::wstring(title) != kGenerationTitle) return TRUE;
    *reinterpret_cast<HWND*>(lp) = window;
    return FALSE;
}

void ApplyAnswer(HWND dialog, const DialogAnswer& answer) {
    HWND control = ::GetDlgItem(dialog, answer.id);
    if (control == nullptr) {
        g_pending.error = "the generation dialog has no control " + std::to_string(answer.id);
        return;
    }
    if (answer.kind == DialogAnswer::kText) {
        ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer.text.c_str()));
    } else if (answer.kind == DialogAnswer::kSlider) {
        ::SendMessageW(control, TBM_SETPOS, TRUE, answer.position);
        ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, answer.position), reinterpret_cast<LPARAM>(control));
        ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(control));
    } else {
        ::SendMessageW(control, BM_CLICK, 0, 0);
    }
}

void CALLBACK AnswerGenerationDialog(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindGenerationDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    ::KillTimer(nullptr, id);
    for (const DialogAnswer& answer : g_pending.answers) ApplyAnswer(dialog, answer);
    if (!g_pending.screenshot.empty()) {
        ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        ::GdiFlush();
        // The picture is read back from the screen: give the answers' painting time to
        // reach it (under Wine it goes to the X server on its own schedule).
        for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 150;) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            ::Sleep(10);
        }
        HWND windows[] = {g_pending.owner, dialog};
        std::string error;
        if (SaveScreenshotOfWindows(windows, 2, g_pending.screenshot, &error)) {
            std::printf("screenshot: %s\n", g_pending.screenshot.c_str());
        } else {
            g_pending.error = error;
        }
    }
    g_pending.answered = true;
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(g_pending.button, BN_CLICKED), 0);
}

class Runner {
public:
    Runner(HWND mainWindow, std::string outputFolder)
        : main_(mainWindow), view_(MapViewOf(mainWindow)), output_(std::move(outputFolder)) {}

    void Execute(const std::string& command, std::istringstream& args);

private:
    std::string Path(const std::string& path) const {
        bool absolute = path.size() > 1 && (path[0] == '/' || path[0] == '\\' || path[1] == ':');
        return absolute || output_.empty() ? path : output_ + "/" + path;
    }
    static int Number(std::istringstream& args, const char* what) {
        std::string word;
        if (!(args >> word)) throw Failure{std::string("missing ") + what};
        char* end = nullptr;
        long value = std::strtol(word.c_str(), &end, 10);
        if (*end != '\0') throw Failure{std::string("not a number for ") + what + ": " + word};
        return static_cast<int>(value);
    }
    // A control named in a script, by name or number.
    static int Control(std::istringstream& args, ControlGroup group) {
        std::string word;
        if (!(args >> word)) throw Failure{"missing control (one of: " + ScriptControlNames(group) + ")"};
        int id = ScriptControlId(word, group);
        if (id < 0) throw Failure{"no control \"" + word + "\" here; the names are: " + ScriptControlNames(group)};
        return id;
    }
    static std::string Rest(std::istringstream& args) {
        std::string rest;
        std::getline(args >> std::ws, rest);
        return rest;
    }

    void Open(std::istringstream& args);
    void Menu(std::istringstream& args);
    void Click(int id);
    void Slider(std::istringstream& args);
    void Type(std::istringstream& args);
    void Key(std::istringstream& args);
    // The cells a drag names at its two ends, when it names cells.
    struct DragCells {
        double c0, r0, c1, r1;
    };
    void Drag(POINT from, POINT to, int steps, const DragCells* cells = nullptr);
    void Save();
    void SaveAs(std::istringstream& args);
    void Close(std::istringstream& args);
    void Screenshot(std::istringstream& args);
    void ViewSize(std::istringstream& args);
    void Answer(const std::string& command, std::istringstream& args);
    void Generate(std::istringstream& args, int button);
    void MeasureMoves(std::istringstream& args);
    void MeasureRedraw(std::istringstream& args);
    bool NextPosition(std::istringstream& args, const char* what, double* column, double* row);
    void Centre(std::istringstream& args);
    void DragCommand(const std::string& command, std::istringstream& args);

    HWND main_;
    HWND view_;
    std::string output_;
};

void Runner::Open(std::istringstream& args) {
    std::string path = Path(Rest(args));
    if (OpenMapFile(main_, Widen(path)) == 0) throw Failure{"cannot open map " + path};
}

void Runner::Menu(std::istringstream& args) {
    std::string text = Rest(args);
    for (int i = 0; i < DH_RegistrationCount(); ++i) {
        DH_REGISTRATION entry;
        if (DH_GetRegistration(i, &entry) && entry.kind == kRegisteredMenu && entry.hasText &&
            text == entry.text && entry.proc != nullptr) {
            entry.proc(kEventMenuChosen, 0, 0);
            MovePluginWindowsOffMenu(main_);
            return;
        }
    }
    throw Failure{"no menu entry \"" + text + "\""};
}

void Runner::Click(int id) {
    HWND control = PaletteControl(main_, id);
    if (!::IsWindowEnabled(control)) throw Failure{"control " + std::to_string(id) + " is disabled"};
    ::SendMessageW(control, BM_CLICK, 0, 0);
}

// As a user's drag ends: the thumb position, then the end of the tracking.
void Runner::Slider(std::istringstream& args) {
    int id = Control(args, ControlGroup::kPaletteSlider);
    int position = Number(args, "position");
    HWND slider = PaletteControl(main_, id);
    UINT message = (::GetWindowLongW(slider, GWL_STYLE) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    ::SendMessageW(slider, TBM_SETPOS, TRUE, position);
    HWND palette = ::GetParent(slider);
    ::SendMessageW(palette, message, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(slider));
    ::SendMessageW(palette, message, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
}

void Runner::Type(std::istringstream& args) {
    int id = Control(args, ControlGroup::kPaletteText);
    HWND edit = PaletteControl(main_, id);
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(Rest(args)).c_str()));
}

// Keys go through the thread's message queue, as the user's would.
void Runner::Key(std::istringstream& args) {
    std::string name = Rest(args);
    WPARAM key = name == "ESCAPE" ? VK_ESCAPE : name == "TAB" ? VK_TAB : name == "ENTER" ? VK_RETURN : 0;
    if (key == 0) throw Failure{"unknown key " + name};
    HWND palette = Palette(main_);
    if (palette == nullptr) throw Failure{"the palette is not open"};
    HWND focus = ::GetFocus();
    HWND target = focus != nullptr && (focus == palette || ::IsChild(palette, focus)) ? focus : palette;
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    ::PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    Pump(50);
}

// With cells given, each message stands for the cell at the same fraction of the way, so
// the plug-in gets exactly the cells named whatever the zoom.
void Runner::Drag(POINT from, POINT to, int steps, const DragCells* cells) {
    if (steps < 1) throw Failure{"a drag needs at least one step"};
    auto standFor = [&](int i) {
        if (cells == nullptr) return;
        SetScriptedCell(view_, cells->c0 + std::floor((cells->c1 - cells->c0) * i / steps),
                        cells->r0 + std::floor((cells->r1 - cells->r0) * i / steps));
    };
    standFor(0);
    ::SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    for (int i = 1; i <= steps; ++i) {
        int x = from.x + (to.x - from.x) * i / steps;
        int y = from.y + (to.y - from.y) * i / steps;
        standFor(i);
        ::SendMessageW(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
        Pump(0);
    }
    standFor(steps);
    ::SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    ClearScriptedCell(view_);
    Pump(0);
}

// A failed save is told as the menu's save tells it.
void Runner::Save() {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    if (map == 0) throw Failure{"no map is open"};
    bool saved = SaveMapAskingAboutLock(main_, map, nullptr) != 0;
    RefreshTitle(main_);
    if (!saved) {
        throw Failure{Narrow(MapFailureText(MapFailure{MapTask::kSave, HPI_GetMapFile(map), DH_LastSaveError(), false}))};
    }
}

void Runner::SaveAs(std::istringstream& args) {
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    if (map == 0) throw Failure{"no map is open"};
    std::string path = Path(Rest(args));
    bool saved = SaveMapAskingAboutLock(main_, map, path.c_str()) != 0;
    RefreshTitle(main_);
    if (!saved) throw Failure{Narrow(MapFailureText(MapFailure{MapTask::kSaveAs, path, DH_LastSaveError(), false}))};
}

HWND g_closing = nullptr;

void CALLBACK CloseMainWindow(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::PostMessageW(g_closing, WM_CLOSE, 0, 0);
}

// Closes the main window as its close box does: now, or after a delay, while the
// commands that follow run.
void Runner::Close(std::istringstream& args) {
    std::string delay;
    if (!(args >> delay)) {
        ::PostMessageW(main_, WM_CLOSE, 0, 0);
        return;
    }
    g_closing = main_;
    ::SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(delay.c_str())), CloseMainWindow);
}

void Runner::Screenshot(std::istringstream& args) {
    std::string path = Path(Rest(args));
    HWND windows[] = {main_, Palette(main_)};
    Pump(100);
    std::string error;
    if (!SaveScreenshotOfWindows(windows, 2, path, &error)) throw Failure{error};
    std::printf("screenshot: %s\n", path.c_str());
}

void Runner::Answer(const std::string& command, std::istringstream& args) {
    ControlGroup group = command == "answer"          ? ControlGroup::kDialogText
                         : command == "answer-slider" ? ControlGroup::kDialogSlider
                                                      : ControlGroup::kDialogButton;
    DialogAnswer answer = {DialogAnswer::kClick, Control(args, group), std::wstring(), 0};
    if (command == "answer") {
        answer.kind = DialogAnswer::kText;
        answer.text = Widen(Rest(args));
    } else if (command == "answer-slider") {
        answer.kind = DialogAnswer::kSlider;
        answer.position = Number(args, "position");
    }
    g_pending.answers.push_back(answer);
}

// Clicks the palette's generate button; the dialog it opens gets the queued answers, is
// photographed if asked, and is closed with OK or cancel.
void Runner::Generate(std::istringstream& args, int button) {
    std::string shot = Rest(args);
    g_pending.screenshot = shot.empty() ? std::string() : Path(shot);
    g_pending.owner = main_;
    g_pending.button = button;
    g_pending.answered = false;
    g_pending.error.clear();
    UINT_PTR timer = ::SetTimer(nullptr, 0, 100, AnswerGenerationDialog);
    Click(kGenerateButton);
    ::KillTimer(nullptr, timer);
    g_pending.answers.clear();
    if (!g_pending.error.empty()) throw Failure{g_pending.error};
    if (!g_pending.answered) throw Failure{"the generation dialog did not appear"};
    Pump(50);
}

// Makes the view's client area the given size by resizing the main window around it.
void Runner::ViewSize(std::istringstream& args) {
    int width = Number(args, "width");
    int height = Number(args, "height");
    RECT view, frame;
    ::GetClientRect(view_, &view);
    ::GetWindowRect(main_, &frame);
    ::SetWindowPos(main_, nullptr, 0, 0, frame.right - frame.left + width - view.right,
                   frame.bottom - frame.top + height - view.bottom, SWP_NOMOVE | SWP_NOZORDER);
    Pump(50);
}

double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return (to.QuadPart - from.QuadPart) * 1e6 / frequency.QuadPart;
}

void PrintFigures(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double median = times[times.size() / 2];
    double p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    std::printf("%s: %zu samples, median %.1f us, 99th percentile %.1f us\n", what, times.size(), median, p99);
}

// Time spent in the view hooks per pointer move of a stroke, each move PIXELS long; the
// host's own work for the move (status bar) is left out.
void Runner::MeasureMoves(std::istringstream& args) {
    int count = Number(args, "count");
    int pixels = Number(args, "pixels");
    if (count < 1) throw Failure{"measure-moves needs a count"};
    RECT client;
    ::GetClientRect(view_, &client);
    int x = client.right / 2 - pixels / 2, y = client.bottom / 2;
    ::SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        x += (i % 2 == 0) ? pixels : -pixels;
        HPI_VIEWEVENT event = ViewEventAt(view_, x, y);
        LARGE_INTEGER from, to;
        ::QueryPerformanceCounter(&from);
        DH_SendViewEvent(kEventViewMove, kViewHandle, &event);
        ::QueryPerformanceCounter(&to);
        times.push_back(Microseconds(from, to));
    }
    ::SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    Pump(0);
    PrintFigures("pointer move", times);
}

void Runner::MeasureRedraw(std::istringstream& args) {
    int count = Number(args, "count");
    if (count < 1) throw Failure{"measure-redraw needs a count"};
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        LARGE_INTEGER from, to;
        ::QueryPerformanceCounter(&from);
        ::InvalidateRect(view_, nullptr, FALSE);
        ::UpdateWindow(view_);
        ::QueryPerformanceCounter(&to);
        times.push_back(Microseconds(from, to));
    }
    RECT client;
    ::GetClientRect(view_, &client);
    std::printf("view %ldx%ld: ", client.right, client.bottom);
    PrintFigures("full redraw", times);
}

// The next position of a command: two numbers (pixels or mesh cells, as the command says),
// or a latitude and longitude with their hemispheres ("36.35N 84.19W"), which give the
// fractional mesh position; true for the latter.
bool Runner::NextPosition(std::istringstream& args, const char* what, double* column, double* row) {
    std::string first, second;
    if (!(args >> first >> second)) throw Failure{std::string("missing ") + what};
    GeoPoint point;
    if (ParseGeoCoordinate(first, true, &point.lat) && ParseGeoCoordinate(second, false, &point.lon)) {
        MapHeader header;
        if (!DH_GetMapHeader(HPI_GetActiveBaseMap(), &header)) throw Failure{"no map is open"};
        GeoPointToMesh(header, point, column, row);
        return true;
    }
    char* end = nullptr;
    *column = std::strtol(first.c_str(), &end, 10);
    bool ok = *end == '\0';
    *row = std::strtol(second.c_str(), &end, 10);
    if (!ok || *end != '\0') throw Failure{std::string("not a position for ") + what + ": " + first + " " + second};
    return false;
}

void Runner::Centre(std::istringstream& args) {
    double column = 0, row = 0;
    NextPosition(args, "the centre", &column, &row);
    SetViewCentre(view_, column, row);
}

// drag: client pixels; dragmesh: mesh cells. Either takes latitudes and longitudes too,
// which name the mesh cell they lie in.
void Runner::DragCommand(const std::string& command, std::istringstream& args) {
    double c0 = 0, r0 = 0, c1 = 0, r1 = 0;
    bool geoFrom = NextPosition(args, "the start", &c0, &r0);
    bool geoTo = NextPosition(args, "the end", &c1, &r1);
    std::string steps;
    int count = (args >> steps) ? std::atoi(steps.c_str()) : 10;
    bool mesh = command == "dragmesh";
    POINT from = {static_cast<LONG>(c0), static_cast<LONG>(r0)}, to = {static_cast<LONG>(c1), static_cast<LONG>(r1)};
    if (mesh || geoFrom) from = MeshToViewPixel(view_, std::floor(c0), std::floor(r0));
    if (mesh || geoTo) to = MeshToViewPixel(view_, std::floor(c1), std::floor(r1));
    // Both ends as cells: the drag names cells, not pixels.
    const DragCells cells = {std::floor(c0), std::floor(r0), std::floor(c1), std::floor(r1)};
    Drag(from, to, count, (mesh || geoFrom) && (mesh || geoTo) ? &cells : nullptr);
}

void Runner::Execute(const std::string& command, std::istringstream& args) {
    if (command == "open") return Open(args);
    if (command == "menu") return Menu(args);
    if (command == "click") return Click(Control(args, ControlGroup::kPaletteButton));
    if (command == "slider") return Slider(args);
    if (command == "type") return Type(args);
    if (command == "key") return Key(args);
    if (command == "undo") return Click(kUndoButton);
    if (command == "save") return Save();
    if (command == "saveas") return SaveAs(args);
    if (command == "screenshot") return Screenshot(args);
    if (command == "viewsize") return ViewSize(args);
    if (command == "answer" || command == "answer-slider" || command == "answer-click") return Answer(command, args);
    if (command == "generate") return Generate(args, IDOK);
    if (command == "generate-cancel") return Generate(args, IDCANCEL);
    if (command == "measure-moves") return MeasureMoves(args);
    if (command == "measure-redraw") return MeasureRedraw(args);
    if (command == "wait") return Pump(static_cast<DWORD>(Number(args, "milliseconds")));
    if (command == "close") return Close(args);
    if (command == "zoom") return SetViewZoom(view_, Number(args, "zoom"));
    if (command == "centre") return Centre(args);
    if (command == "drag" || command == "dragmesh") return DragCommand(command, args);
    throw Failure{"unknown command \"" + command + "\""};
}

}  // namespace

const char* ScriptCommandsHelp() { return kScriptCommands; }

ScriptResult RunScript(HWND mainWindow, const std::string& utf8Path, const std::string& outputFolder) {
    ScriptResult result;
    std::FILE* file = OpenFileUtf8(utf8Path, "rb");
    if (file == nullptr) {
        result.ok = false;
        result.reason = "cannot read the script " + utf8Path;
        return result;
    }
    std::string text;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
    std::fclose(file);
    ScriptTextCheck check = PrepareScriptText(&text);
    if (!check.ok) {
        result.ok = false;
        result.line = check.line;
        result.reason = check.reason;
        return result;
    }

    Runner runner(mainWindow, outputFolder);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        ++result.line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream args(line);
        std::string command;
        if (!(args >> command) || command[0] == '#') continue;
        try {
            runner.Execute(command, args);
            Pump(0);
        } catch (const Failure& failure) {
            result.ok = false;
            result.reason = failure.reason;
            return result;
        }
    }
    return result;
}

}  // namespace devhost
