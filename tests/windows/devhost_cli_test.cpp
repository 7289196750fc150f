// devhost.exe run as a user runs it: headless runs never wait for anyone, say what went
// wrong and exit with a code that tells; scripted sessions that paint past the map's
// edge, close the window mid-generation or save twice behave as a user expects.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "host/utf8_win.h"
#include "tests/windows/plugin_fixture.h"

namespace {

struct DevhostRun {
    DWORD exitCode = STILL_ACTIVE;
    std::string output;  // stdout and stderr, UTF-8
};

// devhost.exe started headless from the test's folder, its output going to a log of
// its own; Finish waits for it.
struct DevhostProcess {
    PROCESS_INFORMATION process = {};
    std::wstring logPath;
    bool started = false;
};

DevhostProcess StartDevhost(const std::wstring& arguments, const std::wstring& logName = L"devhost-cli.log",
                            bool ownProfile = true) {
    DevhostProcess run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    run.logPath = TestFolder() + logName;
    HANDLE log = ::CreateFileW(run.logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = log;
    startup.hStdError = log;
    // A profile folder of each run's own: runs at the same time never share one.
    std::wstring profile = ownProfile ? L"--profile-dir \"" + TestFolder() + L"profiles-" + logName + L"\" " : L"";
    std::wstring command = L"\"" + ExecutableFolder() + L"devhost.exe\" --quit " + profile + arguments;
    run.started = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                   ExecutableFolder().c_str(), &startup, &run.process) != 0;
    ::CloseHandle(log);
    return run;
}

// A run still going after a minute is killed and reported as a hang.
DevhostRun FinishDevhost(DevhostProcess& started) {
    DevhostRun run;
    if (!started.started) return run;
    if (::WaitForSingleObject(started.process.hProcess, 60000 * WineSlowdown()) == WAIT_TIMEOUT) {
        ::TerminateProcess(started.process.hProcess, 99);
        run.output = "(hung: killed after 60 s)\n";
    }
    ::GetExitCodeProcess(started.process.hProcess, &run.exitCode);
    ::CloseHandle(started.process.hThread);
    ::CloseHandle(started.process.hProcess);
    run.output += ReadFileBytes(Utf8(started.logPath));
    return run;
}

DevhostRun RunDevhost(const std::wstring& arguments) {
    DevhostProcess started = StartDevhost(arguments);
    return FinishDevhost(started);
}

// Where the test's maps, scripts and outputs go.
std::string Folder() { return Utf8(TestFolder()); }

std::wstring Quoted(const std::string& utf8Path) { return L"\"" + Widen(utf8Path) + L"\""; }

// A flat map at 100 m, 3 arc-seconds a cell.
std::string MakeMap(const std::string& name, int width, int height) {
    MapHeader header;
    header.width = width;
    header.height = height;
    header.originLat = 36.5;
    header.originLon = -84.0;
    header.cellLat = header.cellLon = 1.0 / 1200.0;
    std::vector<int16_t> grid(static_cast<size_t>(width) * height, 100);
    std::string path = Folder() + name;
    std::string error;
    EXPECT_TRUE(CreateMapFile(path, header, grid.data(), &error)) << error;
    return path;
}

std::string WriteScript(const std::string& name, const std::string& text) {
    std::string path = Folder() + name;
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    return path;
}

const char kRaiseSize20[] =
    "menu 地形エディタ\n"
    "viewsize 800 700\n"
    "centre 320 320\n"
    "click 8515\n"
    "slider 8484 20\n";

TEST(DevhostCliTest, HeadlessRunsNeverWaitAndReportFailures) {
    DevhostRun missing = RunDevhost(L"--map \"Z:\\no\\such\\map.map\"");
    EXPECT_NE(0u, missing.exitCode) << missing.output;
    EXPECT_EQ(std::string::npos, missing.output.find("hung")) << missing.output;
    size_t told = missing.output.find("地図ファイル「map.map」が見つかりません。");
    EXPECT_NE(std::string::npos, told) << missing.output;
    EXPECT_NE(std::string::npos, missing.output.find("\n(cannot open map file", told)) << "the detail on a line of its own";

    // The help lists the script commands itself: the download has no README to point to.
    DevhostRun help = RunDevhost(L"--help");
    EXPECT_EQ(0u, help.exitCode) << help.output;
    for (const char* line : {"--map FILE", "dragmesh C0 R0 C1 R1 [STEPS]", "saveas PATH", "generate [PNG]", "Ctrl+S"}) {
        EXPECT_NE(std::string::npos, help.output.find(line)) << line << "\n" << help.output;
    }
    EXPECT_EQ(std::string::npos, help.output.find("README")) << help.output;

    // A control a script names wrongly: the names it could have used.
    std::string misnamed = WriteScript("cli-misnamed.zscript", "menu 地形エディタ\nclick raize\n");
    DevhostRun named = RunDevhost(L"--map " + Quoted(MakeMap("cli-misnamed.map", 320, 320)) + L" --script " +
                                  Quoted(misnamed));
    EXPECT_NE(0u, named.exitCode) << named.output;
    EXPECT_NE(std::string::npos, named.output.find("no control \"raize\" here; the names are: scroll raise dig"))
        << named.output;

    // One damaged byte of a made map: said on stderr, the rest of the map still opens.
    std::string damaged = MakeMap("cli-damaged.map", 640, 320);
    std::string bytes = ReadFileBytes(damaged);
    bytes[76] ^= 0x01;
    if (std::FILE* file = std::fopen(damaged.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    DevhostRun shown = RunDevhost(L"--map " + Quoted(damaged));
    EXPECT_EQ(0u, shown.exitCode) << shown.output;
    EXPECT_NE(std::string::npos, shown.output.find("fails its checksum")) << shown.output;

    // The output folder is made when missing.
    std::string out = Folder() + "cli-out\\made\\here";
    std::string script = WriteScript("cli-shot.zscript", "screenshot shot.png\n");
    DevhostRun made = RunDevhost(L"--map " + Quoted(MakeMap("cli-shot.map", 320, 320)) + L" --out " + Quoted(out) +
                          L" --script " + Quoted(script));
    EXPECT_EQ(0u, made.exitCode) << made.output;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((out + "\\shot.png").c_str())) << made.output;
}

// Scripts as editors on Windows save them: Notepad's byte-order mark and CRLF lines run;
// a script saved as Shift_JIS or UTF-16 is refused before its first command runs, with
// the line that is not UTF-8. Everything a run prints goes to its --log file.
TEST(DevhostCliTest, ScriptsRunAsWindowsEditorsSaveThemAndPrintToTheLog) {
    const std::string shot = "screenshot cli-text-shot.png\r\n";
    struct Row {
        const char* name;
        std::string text;
        bool runs;
        const char* says;
    } rows[] = {
        {"notepad", "\xEF\xBB\xBF" + shot + "# 地形エディタを開く\r\nmenu 地形エディタ\r\n", true, "3 lines done"},
        {"lf, no mark", shot + "menu 地形エディタ\n", true, "2 lines done"},
        {"shift-jis", shot + "# \x92\x6E\x8C\x60\r\nmenu \x92\x6E\x8C\x60\x83\x47\x83\x66\x83\x42\x83\x5E\r\n", false,
         ":2: the script is not UTF-8 text (byte 0x92 at column 3); save it as UTF-8"},
        {"utf-16", std::string("\xFF\xFEs\0c\0r\0e\0e\0n\0", 14), false, ":1: the script is saved as UTF-16"},
    };
    std::string map = MakeMap("cli-text.map", 320, 320);
    std::string out = Folder() + "cli-text";
    for (const Row& row : rows) {
        std::string shotPath = out + "\\cli-text-shot.png";
        ::DeleteFileA(shotPath.c_str());
        std::string script = WriteScript("cli-text.zscript", row.text);
        std::string log = Folder() + "cli-text.log";
        DevhostRun run = RunDevhost(L"--map " + Quoted(map) + L" --out " + Quoted(out) + L" --script " +
                                    Quoted(script) + L" --log " + Quoted(log));
        std::string logged = ReadFileBytes(log);
        EXPECT_EQ(row.runs, run.exitCode == 0) << row.name << "\n" << logged;
        EXPECT_NE(std::string::npos, logged.find(row.says)) << row.name << "\n" << logged;
        EXPECT_EQ("", run.output) << row.name << ": printed beside the log";
        EXPECT_EQ(row.runs, ::GetFileAttributesA(shotPath.c_str()) != INVALID_FILE_ATTRIBUTES)
            << row.name << (row.runs ? ": the first command did not run" : ": a command ran before the refusal");
    }
}

// Strokes whose brush reaches past the map's last block column, or that start past the
// edge, save; a second save of the same edits adds nothing; the unsaved-edits question
// comes only after an edit since the last save.
TEST(DevhostCliTest, EditsAtTheEdgeSaveAndSavesAreNotRepeated) {
    std::string map = MakeMap("cli-edge.map", 640, 640);
    const size_t before = ReadFileBytes(map).size();
    std::string script = WriteScript("cli-edge.zscript", std::string(kRaiseSize20) +
                                                              "dragmesh 100 100 120 100 5\n"
                                                              "dragmesh 630 200 635 200 5\n"
                                                              "dragmesh 700 300 500 300 5\n"
                                                              "dragmesh 300 400 300 410 5\n"
                                                              "save\n"
                                                              "save\n"
                                                              "close\n");
    DevhostRun run = RunDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(script));
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("保存されていない")) << run.output;
    std::string saved = ReadFileBytes(map);
    const size_t oneBlock = 12 + kMapBlockBytes;
    ASSERT_GT(saved.size(), before + 32);
    EXPECT_EQ(0u, (saved.size() - before - 32) % oneBlock) << "one save: the second added nothing";

    MapFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(map, &error)) << error;
    std::vector<int16_t> block(kMapBlockSamples);
    ASSERT_TRUE(reader.ReadBlock(1, block.data(), &error)) << error;
    EXPECT_GT(block[200 * kMapBlockSide + 634 - 320], 100) << "the stroke at the edge was saved";

    std::string unsaved = WriteScript("cli-unsaved.zscript", std::string(kRaiseSize20) +
                                                                "dragmesh 100 100 120 100 5\n"
                                                                "close\n");
    DevhostRun asked = RunDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(unsaved));
    EXPECT_NE(std::string::npos, asked.output.find("保存されていない")) << asked.output;
    EXPECT_EQ(saved, ReadFileBytes(map)) << "nobody answered, so nothing was saved";
}

TEST(DevhostCliTest, ClosingDuringAGenerationEndsTheRun) {
    std::string map = MakeMap("cli-generate.map", 2000, 2000);
    std::string script = WriteScript("cli-generate.zscript",
                                     "menu 地形エディタ\n"
                                     "centre 1000 1000\n"
                                     "close 300\n"
                                     "answer 1000 150\n"
                                     "generate\n"
                                     "wait 200\n");
    DevhostRun run = RunDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(script));
    EXPECT_NE(STILL_ACTIVE, run.exitCode) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("hung")) << run.output;
}

// The sample of a saved map at (column, row), through the store's reader.
int SavedSample(const std::string& map, int column, int row) {
    MapFileReader reader;
    std::string error;
    std::vector<int16_t> block(kMapBlockSamples);
    if (!reader.Open(map, &error)) return -1;
    int32_t code = MapBlockCode(row, column);
    if (!reader.ReadBlock(code, block.data(), &error)) return -1;
    return block[(row % kMapBlockSide) * kMapBlockSide + column % kMapBlockSide];
}

// Ten strokes, each saved, keep the map under twice its size: once the superseded copies
// outweigh the live ones a save compacts the map, which keeps every stroke. A stroke
// undone before the save leaves the file as it was, and so does saving it as itself.
TEST(DevhostCliTest, SavesCompactTheMapAndAnUndoneStrokeWritesNothing) {
    std::string map = MakeMap("cli-compact.map", 640, 640);
    const size_t original = ReadFileBytes(map).size();
    std::string strokes = kRaiseSize20;
    for (int i = 0; i < 10; ++i) {
        int column = 40 + 55 * i;
        strokes += "dragmesh " + std::to_string(column) + " 100 " + std::to_string(column + 10) + " 100 3\nsave\n";
    }
    DevhostRun run = RunDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(WriteScript("cli-compact.zscript", strokes)));
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("compacted")) << run.output;
    const std::string saved = ReadFileBytes(map);
    EXPECT_LT(saved.size(), 2 * original);
    for (int i = 0; i < 10; ++i) EXPECT_GT(SavedSample(map, 45 + 55 * i, 100), 100) << "stroke " << i;

    // Saving as the map itself, spelled otherwise, is a plain save.
    std::string undone = WriteScript("cli-undone.zscript", std::string(kRaiseSize20) +
                                                               "dragmesh 100 400 120 400 3\nundo\nsave\nsaveas " +
                                                               Folder() + "cli-out\\..\\cli-compact.map\n");
    DevhostRun again = RunDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(undone));
    EXPECT_EQ(0u, again.exitCode) << again.output;
    EXPECT_EQ(saved, ReadFileBytes(map)) << "the undone stroke was written";
}

// The plug-in's settings live in %APPDATA%\\Zolva unless --profile-dir says otherwise; where
// they cannot be written, that is said once however often they change.
TEST(DevhostCliTest, SettingsLiveInAppDataAndAFailedWriteIsSaidOnce) {
    wchar_t appData[MAX_PATH] = L"";
    ASSERT_NE(0u, ::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH));
    const std::string settings = Utf8(appData) + "\\Zolva\\plugin-1.ini";
    ::DeleteFileA(settings.c_str());
    std::string map = MakeMap("cli-settings.map", 320, 320);
    std::string changes = WriteScript("cli-settings.zscript", std::string(kRaiseSize20) + "click 8516\nslider 8484 30\n");
    DevhostProcess started = StartDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(changes), L"cli-settings.log", false);
    DevhostRun stored = FinishDevhost(started);
    EXPECT_EQ(0u, stored.exitCode) << stored.output;
    EXPECT_NE(std::string::npos, ReadFileBytes(settings).find("=")) << settings << "\n" << stored.output;

    // A folder under a file can never be made.
    std::string blocked = Folder() + "cli-settings.map\\profiles";
    DevhostRun refused = RunDevhost(L"--profile-dir " + Quoted(blocked) + L" --map " + Quoted(map) + L" --script " +
                                    Quoted(changes));
    EXPECT_EQ(0u, refused.exitCode) << refused.output;
    size_t first = refused.output.find("cannot write profile");
    EXPECT_NE(std::string::npos, first) << refused.output;
    EXPECT_EQ(std::string::npos, refused.output.find("cannot write profile", first + 1)) << refused.output;
}

// Three sessions open one map at once, as three users might: the first to save wins; a
// later save on the same map is refused, names the other program's save and writes
// nothing; the third keeps its edits by saving them under a new name, on the map as it
// read it.
TEST(DevhostCliTest, ASecondWriterNeverOverwritesTheFirst) {
    std::string map = MakeMap("cli-shared.map", 400, 300);
    auto strokeThenSave = [](int column, int waitMs, const std::string& save) {
        return std::string(kRaiseSize20) + "dragmesh " + std::to_string(column) + " 50 " +
               std::to_string(column + 40) + " 50 5\nwait " + std::to_string(waitMs) + "\n" + save + "\n";
    };
    // The first saves only once all three have read the map. A devhost start takes about
    // two seconds, and longer where Wine runs emulated; the waits grow with it.
    const int wait = 3000 * WineSlowdown();
    std::string first = WriteScript("cli-shared-a.zscript", strokeThenSave(40, wait, "save"));
    std::string second = WriteScript("cli-shared-b.zscript", strokeThenSave(240, 3 * wait, "save"));
    std::string third = WriteScript("cli-shared-c.zscript", strokeThenSave(140, 3 * wait, "saveas cli-shared-c.map"));
    std::string out = Folder().substr(0, Folder().size() - 1);  // no backslash before the closing quote
    DevhostProcess a = StartDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(first), L"cli-shared-a.log");
    DevhostProcess b = StartDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(second), L"cli-shared-b.log");
    DevhostProcess c = StartDevhost(L"--map " + Quoted(map) + L" --out " + Quoted(out) + L" --script " + Quoted(third),
                                    L"cli-shared-c.log");
    DevhostRun ranA = FinishDevhost(a), ranB = FinishDevhost(b), ranC = FinishDevhost(c);
    EXPECT_EQ(0u, ranA.exitCode) << ranA.output;
    EXPECT_NE(0u, ranB.exitCode) << ranB.output;
    EXPECT_NE(std::string::npos, ranB.output.find("another program")) << ranB.output;
    EXPECT_EQ(0u, ranC.exitCode) << ranC.output;

    EXPECT_GT(SavedSample(map, 60, 50), 100) << "the first save is kept";
    EXPECT_EQ(100, SavedSample(map, 260, 50)) << "the refused save wrote nothing";
    EXPECT_EQ(100, SavedSample(map, 160, 50)) << "the save under a new name left the map alone";
    std::string copy = Folder() + "cli-shared-c.map";
    EXPECT_GT(SavedSample(copy, 160, 50), 100) << "the edits saved under a new name";
    EXPECT_EQ(100, SavedSample(copy, 60, 50)) << "the copy is the map as that session read it";
}

// A block devhost could not read: a stroke on it that is undone leaves nothing to save,
// so the other edits save; a stroke that stays fails the save, names the block and says
// how to keep the rest.
TEST(DevhostCliTest, AnUndoneStrokeOnADamagedBlockDoesNotBlockSaving) {
    struct Row {
        const char* name;
        const char* strokes;
        bool saves;
    } rows[] = {
        {"undone", "dragmesh 100 100 140 100 5\nundo\ndragmesh 100 400 140 400 5\n", true},
        {"kept", "dragmesh 100 100 140 100 5\n", false},
    };
    for (const Row& row : rows) {
        std::string map = MakeMap(std::string("cli-damaged-") + row.name + ".map", 320, 640);
        std::string bytes = ReadFileBytes(map);
        bytes[76] ^= 0xFF;  // the code byte of the first block record: block 0 cannot be read
        if (std::FILE* file = std::fopen(map.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        std::string script = WriteScript("cli-damaged.zscript", std::string(kRaiseSize20) + row.strokes + "save\n");
        DevhostRun run = RunDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(script));
        if (row.saves) {
            EXPECT_EQ(0u, run.exitCode) << row.name << "\n" << run.output;
            EXPECT_NE(bytes, ReadFileBytes(map)) << row.name << ": the save wrote the other edit";
            EXPECT_GT(SavedSample(map, 120, 400), 100) << row.name << ": the edit of the readable block";
        } else {
            EXPECT_NE(0u, run.exitCode) << row.name << "\n" << run.output;
            EXPECT_NE(std::string::npos, run.output.find("block 0 was never read in full")) << run.output;
            EXPECT_NE(std::string::npos, run.output.find("名前を付けて保存")) << run.output;
            EXPECT_EQ(bytes, ReadFileBytes(map)) << row.name << ": nothing written";
        }
    }
}

// A scripted drag names mesh cells: the plug-in gets exactly those, at every zoom, even
// where several cells share one pixel. The highest sample a one-point stroke leaves is
// at the named cell.
TEST(DevhostCliTest, DragsNameExactlyTheirCellsAtEveryZoom) {
    struct Row {
        int zoom, column, row;
    } rows[] = {{-2, 1390, 607}, {-2, 0, 0}, {-3, 701, 350}, {1, 700, 300}, {4, 33, 35}};
    for (const Row& r : rows) {
        std::string map = MakeMap("cli-cells.map", 1391, 700);
        std::string cell = std::to_string(r.column) + " " + std::to_string(r.row);
        std::string script = WriteScript("cli-cells.zscript", "menu 地形エディタ\nclick 8515\nslider 8484 3\nzoom " +
                                                                  std::to_string(r.zoom) + "\ncentre " + cell +
                                                                  "\ndragmesh " + cell + " " + cell + " 1\nsave\n");
        DevhostRun run = RunDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(script));
        ASSERT_EQ(0u, run.exitCode) << run.output;
        int highest = 0, atColumn = -1, atRow = -1;
        for (int row = std::max(0, r.row - 6); row <= std::min(699, r.row + 6); ++row) {
            for (int column = std::max(0, r.column - 6); column <= std::min(1390, r.column + 6); ++column) {
                int sample = SavedSample(map, column, row);
                if (sample > highest) highest = sample, atColumn = column, atRow = row;
            }
        }
        EXPECT_GT(highest, 100) << "zoom " << r.zoom << ": nothing raised";
        EXPECT_EQ(r.column, atColumn) << "zoom " << r.zoom << " at " << cell;
        EXPECT_EQ(r.row, atRow) << "zoom " << r.zoom << " at " << cell;
    }
}

// The grid of a saved map, row-major; empty when it cannot be read.
std::vector<int16_t> SavedGrid(const std::string& map) {
    MapFileReader reader;
    std::string error;
    if (!reader.Open(map, &error)) return {};
    const MapHeader& h = reader.header();
    std::vector<int16_t> grid(static_cast<size_t>(h.width) * h.height), block(kMapBlockSamples);
    for (int row0 = 0; row0 < h.height; row0 += kMapBlockSide) {
        for (int column0 = 0; column0 < h.width; column0 += kMapBlockSide) {
            if (!reader.ReadBlock(MapBlockCode(row0, column0), block.data(), &error)) return {};
            for (int r = row0; r < std::min(h.height, row0 + kMapBlockSide); ++r) {
                for (int c = column0; c < std::min(h.width, column0 + kMapBlockSide); ++c) {
                    grid[static_cast<size_t>(r) * h.width + c] = block[(r - row0) * kMapBlockSide + c - column0];
                }
            }
        }
    }
    return grid;
}

// Each edit of the plug-in over a map's voids, in a scripted session saved and compared:
// without --paint-voids every void stays void and --compare counts the void cells the edit
// touched as kept; with it the touched cells take the edit's heights and are counted as
// painted over, as the file comparison counts them too.
TEST(DevhostCliTest, VoidsStayVoidsUnlessPaintingOverThemIsChosen) {
    const int kSide = 640, kVoidFirst = 300, kVoidLast = 340;
    const long kVoids = (kVoidLast - kVoidFirst + 1) * (kVoidLast - kVoidFirst + 1);
    MapHeader header;
    header.width = header.height = kSide;
    header.originLat = 36.5;
    header.originLon = -84.0;
    header.cellLat = header.cellLon = 1.0 / 1200.0;
    header.hasVoidValue = true;
    header.voidValue = -32768;
    std::vector<int16_t> grid(static_cast<size_t>(kSide) * kSide, 100);
    for (int r = kVoidFirst; r <= kVoidLast; ++r) {
        for (int c = kVoidFirst; c <= kVoidLast; ++c) grid[static_cast<size_t>(r) * kSide + c] = -32768;
    }
    const std::string stroke = "slider 8484 20\ndragmesh 280 320 360 320 5\n";
    const struct {
        const char* edit;
        std::string commands;
    } edits[] = {
        {"raise", "click 8515\n" + stroke},
        {"dig", "click 8516\n" + stroke},
        {"flatten to 500", "click 8517\ntype 1009 500\n" + stroke},
        {"generate add", "answer-click add\nanswer 1000 2.0\ngenerate\n"},
    };
    std::string original = Folder() + "cli-voids-original.map", error;
    ASSERT_TRUE(CreateMapFile(original, header, grid.data(), &error)) << error;
    for (const auto& edit : edits) {
        for (bool paint : {false, true}) {
            const std::string name = std::string(edit.edit) + (paint ? ", --paint-voids" : "");
            SCOPED_TRACE(name);
            std::string map = Folder() + "cli-voids.map";
            ASSERT_TRUE(::CopyFileA(original.c_str(), map.c_str(), FALSE));
            std::string script = WriteScript("cli-voids.zscript", "menu 地形エディタ\nviewsize 800 700\ncentre 320 320\n" +
                                                                      edit.commands + "save\n");
            DevhostRun run = RunDevhost(L"--map " + Quoted(map) + L" --script " + Quoted(script) + L" --compare " +
                                        Quoted(original) + (paint ? L" --paint-voids" : L""));
            ASSERT_EQ(0u, run.exitCode) << run.output;
            long touched = -1, count = -1, kept = -1, painted = -1, filePainted = 0;
            size_t line = run.output.find("void cells touched by edits:");
            ASSERT_NE(std::string::npos, line) << run.output;
            ASSERT_EQ(4, std::sscanf(run.output.c_str() + line,
                                     "void cells touched by edits: %ld in %ld edit(s), %ld kept void, %ld painted over",
                                     &touched, &count, &kept, &painted)) << run.output;
            size_t fileLine = run.output.find(" voids painted over");
            if (fileLine != std::string::npos) filePainted = std::atol(run.output.c_str() + run.output.rfind('\n', fileLine) + 1);
            EXPECT_GT(touched, 0) << run.output;
            EXPECT_EQ(1, count);
            EXPECT_EQ(paint ? 0 : touched, kept);
            EXPECT_EQ(paint ? touched : 0, painted);
            EXPECT_EQ(painted, filePainted) << "the file comparison counts the same cells";
            std::vector<int16_t> saved = SavedGrid(map);
            ASSERT_EQ(grid.size(), saved.size());
            long voidsLeft = 0, groundEdited = 0;
            for (int r = 260; r <= 380; ++r) {
                for (int c = 260; c <= 380; ++c) {
                    const int16_t sample = saved[static_cast<size_t>(r) * kSide + c];
                    const bool wasVoid = r >= kVoidFirst && r <= kVoidLast && c >= kVoidFirst && c <= kVoidLast;
                    if (wasVoid && sample == -32768) ++voidsLeft;
                    if (!wasVoid && sample != 100) ++groundEdited;
                }
            }
            EXPECT_EQ(kVoids - painted, voidsLeft);
            EXPECT_GT(groundEdited, 0) << "the edit changed the terrain around the voids";
        }
    }
}

}  // namespace
