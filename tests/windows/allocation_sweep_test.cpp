// Allocation failures swept over the real Zolva.qpl, as a host whose address space runs
// out would meet them. The module's import-table entries for the C runtime's allocators
// are replaced by ones that count every call and fail the chosen ones: only call k
// (once), call k and every later one (from), or from call k on every one of 64 KB or
// more (large). Each scenario first runs without failures to count its calls N and to
// learn its result; then, for k in 1..N in each mode, it must not crash or hang, must
// give the host (display cache, save) only samples between the values before and the
// failure-free ones, must keep the failure rules, and afterwards, with memory back, undo
// must restore exactly and the same operation must give exactly the failure-free result.
#include <windows.h>
#include <commctrl.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "res/resource.h"
#include "tests/windows/map_fixture.h"

namespace {

enum class Fault { kCount, kOnce, kFrom, kLarge };
const char* const kFaultNames[] = {"count", "once", "from", "large"};
const size_t kLargeBytes = 64 * 1024;
// Points tried per scenario and mode; more are sampled evenly (ZOLVA_SWEEP_ALL=1 tries all).
const long kMaxPointsPerMode = 24;

struct Injection {
    Fault fault = Fault::kCount;
    long failAt = 0;
    long calls = 0;
};
Injection g_injection;

bool Fails(size_t bytes) {
    const long call = ++g_injection.calls;
    const Fault fault = g_injection.fault;
    return (fault == Fault::kOnce && call == g_injection.failAt) || (fault == Fault::kFrom && call >= g_injection.failAt) ||
           (fault == Fault::kLarge && call >= g_injection.failAt && bytes >= kLargeBytes);
}

void* __cdecl FaultyMalloc(size_t bytes) { return Fails(bytes) ? nullptr : std::malloc(bytes); }
void* __cdecl FaultyCalloc(size_t count, size_t size) { return Fails(count * size) ? nullptr : std::calloc(count, size); }
void* __cdecl FaultyRealloc(void* memory, size_t bytes) { return Fails(bytes) ? nullptr : std::realloc(memory, bytes); }
void* __cdecl FaultyAlignedMalloc(size_t bytes, size_t alignment) {
    return Fails(bytes) ? nullptr : ::_aligned_malloc(bytes, alignment);
}
char* __cdecl FaultyStrdup(const char* text) { return Fails(std::strlen(text) + 1) ? nullptr : ::_strdup(text); }

// What the module gave the host, block by block, in order.
struct Given {
    long blockId;
    std::vector<short> samples;
};
std::vector<Given> g_given;

void RecordReplaceCache(HPI_HANDLE map, long blockId, short* samples) {
    g_given.push_back(Given{blockId, std::vector<short>(samples, samples + kMapBlockSamples)});
    HPI_ReplaceCache(map, blockId, samples);
}

unsigned RecordAppendBlock(HPI_HANDLE file, int blockId, short* samples) {
    g_given.push_back(Given{blockId, std::vector<short>(samples, samples + kMapBlockSamples)});
    return HPI_AppendBlockEvm(file, blockId, samples);
}

int16_t Ground(int row, int col) { return static_cast<int16_t>(300 + (row * 7 + col * 3) % 400); }
const TestMap kMap = {"sweep", 35.0, 139.0, 0.001, 0.001, Ground};
GEOPOS Geo(int column, int row) { return CellCentre(kMap, column, row); }
const int32_t kCodes[] = {0, 1, 100, 101};  // the map's four blocks
using Snapshot = std::map<int32_t, std::vector<short>>;

const wchar_t kGenerationCaption[] = L"地形の生成";

BOOL CALLBACK FindGenerationDialog(HWND window, LPARAM found) {
    if (TextOf(window) != kGenerationCaption || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Confirms the generation dialog as soon as its modal loop runs.
VOID CALLBACK ConfirmGeneration(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindGenerationDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    ::KillTimer(nullptr, timer);
    ::SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
}

// The palette as a user sees it: method, size, strength, shape, altitude text.
std::wstring PaletteState(HWND palette) {
    if (palette == nullptr) return L"closed";
    wchar_t text[128];
    std::swprintf(text, 128, L"method %d size %d strength %d shape %d altitude '%ls'", PressedMethod(palette),
                  SliderPos(palette, IDC_SIZE_SLIDER), SliderPos(palette, IDC_STRENGTH_SLIDER),
                  SliderPos(palette, IDC_SHAPE_SLIDER), TextOf(::GetDlgItem(palette, IDC_ALTITUDE_EDIT)).c_str());
    return text;
}

class AllocationSweepTest : public MapViewFixture {
protected:
    AllocationSweepTest() : MapViewFixture(kMap) {}

    void SetUp() override {
        MapViewFixture::SetUp();
        if (HasFatalFailure()) return;
        const char* allocators[] = {"malloc", "calloc", "realloc", "_aligned_malloc", "_strdup"};
        void* faulty[] = {reinterpret_cast<void*>(FaultyMalloc), reinterpret_cast<void*>(FaultyCalloc),
                          reinterpret_cast<void*>(FaultyRealloc), reinterpret_cast<void*>(FaultyAlignedMalloc),
                          reinterpret_cast<void*>(FaultyStrdup)};
        int patched = 0;
        for (int i = 0; i < 5; ++i) patched += DH_PatchImport(module_, allocators[i], faulty[i]) ? 1 : 0;
        ASSERT_GE(patched, 1) << "the module imports none of the C runtime's allocators";
        ASSERT_TRUE(DH_PatchImport(module_, "HPI_ReplaceCache", reinterpret_cast<void*>(RecordReplaceCache)));
        ASSERT_TRUE(DH_PatchImport(module_, "HPI_AppendBlockEvm", reinterpret_cast<void*>(RecordAppendBlock)));
        Store("BrushMethod", 1);
        Store("BrushSize", 20);
        Store("BrushStrength", 100);
        Store("Gen_Method", 3);
        palette_ = Open();
        ASSERT_NE(nullptr, palette_);
    }

    void Store(const char* key, int value) { HPI_WriteProfileInt(kTestPluginHandle, key, value); }

    long Event(int event, int column, int row) {
        HPI_VIEWEVENT record = {40 + column / 4, 40 + row / 4, Geo(column, row)};
        return viewHook_(event, kView, reinterpret_cast<intptr_t>(&record));
    }

    // A raise stroke across the four blocks; the press's answer, 1 when it was the module's.
    long Stroke(int column, int row) {
        long answer = Event(kEventViewPress, column, row);
        Event(kEventViewMove, column + 40, row + 30);
        Event(kEventViewMove, column + 90, row + 70);
        Event(kEventViewRelease, column + 120, row + 100);
        return answer;
    }

    void Undo() { ::SendDlgItemMessageW(palette_, IDC_UNDO_BUTTON, BM_CLICK, 0, 0); }

    void Generate(int column, int row, int dist) {
        Store("Gen_Dist", dist);
        DH_SetView(kView, view_, 1, Geo(column, row));
        std::srand(17);  // the generation's noise offsets
        UINT_PTR timer = ::SetTimer(nullptr, 0, 10, ConfirmGeneration);
        ::SendDlgItemMessageW(palette_, IDC_GENERATE_BUTTON, BM_CLICK, 0, 0);
        ::KillTimer(nullptr, timer);
        PumpMessages();
    }

    // The map as the view shows it.
    Snapshot Shown() {
        Snapshot shown;
        for (int32_t code : kCodes) {
            std::vector<short>& block = shown[code];
            block.resize(kMapBlockSamples);
            DH_ReadViewBlock(map_, code, block.data());
        }
        return shown;
    }

    // The map read afresh, without the module's edits.
    void Reopen() {
        DH_CloseMap(map_);
        map_ = DH_OpenMap(path_.c_str(), nullptr, 0);
        DH_SetView(kView, view_, 1, Geo(320, 320));
    }

    struct Scenario {
        const char* name;
        std::function<void()> prepare;  // failure-free, on a freshly opened map
        std::function<std::string()> operate;  // under faults; what broke a rule, if anything
        bool exact;  // what the host is given is the failure-free result or nothing
    };

    // Per block given without failures: the lowest and highest value each sample had,
    // before or in any version given, and the last version given.
    struct Bounds {
        std::vector<short> low, high, last;
    };

    static std::map<long, Bounds> BoundsOf(const Snapshot& before) {
        std::map<long, Bounds> bounds;
        for (const Given& given : g_given) {
            Bounds& b = bounds[given.blockId];
            if (b.low.empty()) b.low = b.high = before.at(given.blockId / 100);
            for (size_t i = 0; i < given.samples.size(); ++i) {
                b.low[i] = std::min(b.low[i], given.samples[i]);
                b.high[i] = std::max(b.high[i], given.samples[i]);
            }
            b.last = given.samples;
        }
        return bounds;
    }

    // Every given sample lies between the one before and the failure-free ones (a sample
    // a failure skipped is a stamp of lower weight), or, for an exact scenario, the block
    // is the failure-free one.
    static std::string CheckGiven(const std::map<long, Bounds>& bounds, bool exact) {
        for (const Given& given : g_given) {
            auto b = bounds.find(given.blockId);
            if (b == bounds.end()) return "block " + std::to_string(given.blockId) + " given, not given without failures";
            for (size_t i = 0; i < given.samples.size(); ++i) {
                short value = given.samples[i];
                bool fine = exact ? value == b->second.last[i] : value >= b->second.low[i] && value <= b->second.high[i];
                if (fine) continue;
                return "block " + std::to_string(given.blockId) + " sample " + std::to_string(i) + ": failure-free " +
                       std::to_string(b->second.low[i]) + ".." + std::to_string(b->second.high[i]) + ", given " +
                       std::to_string(value);
            }
        }
        return "";
    }

    // The first sample where two views of the map differ, or "".
    static std::string Difference(const Snapshot& expected, const Snapshot& actual) {
        for (const auto& block : expected) {
            const std::vector<short>& other = actual.at(block.first);
            for (size_t i = 0; i < block.second.size(); ++i) {
                if (block.second[i] == other[i]) continue;
                return "block " + std::to_string(block.first) + " sample " + std::to_string(i) + ": expected " +
                       std::to_string(block.second[i]) + ", shown " + std::to_string(other[i]);
            }
        }
        return "";
    }

    // Runs the scenario at the chosen points of each mode; counts what was tried.
    void Sweep(const Scenario& scenario) {
        Reopen();
        scenario.prepare();
        const Snapshot before = Shown();
        g_given.clear();
        g_injection = Injection();
        std::string broken = scenario.operate();
        const long count = g_injection.calls;
        ASSERT_EQ("", broken) << scenario.name << " without failures";
        const Snapshot after = Shown();
        const std::map<long, Bounds> bounds = BoundsOf(before);
        ASSERT_FALSE(bounds.empty()) << scenario.name << " gives the host nothing: nothing to check";
        const bool all = std::getenv("ZOLVA_SWEEP_ALL") != nullptr;
        long tried = 0;
        for (Fault fault : {Fault::kOnce, Fault::kFrom, Fault::kLarge}) {
            const long points = all ? count : std::min(count, kMaxPointsPerMode);
            for (long p = 0; p < points; ++p) {
                long k = points == count ? p + 1 : 1 + p * (count - 1) / (points - 1);
                std::string where = std::string(scenario.name) + ", " + kFaultNames[static_cast<int>(fault)] +
                                    " at call " + std::to_string(k) + " of " + std::to_string(count);
                Reopen();
                scenario.prepare();
                ASSERT_EQ("", Difference(before, Shown())) << where << ": the preparation differs";
                g_given.clear();
                g_injection = Injection();
                g_injection.fault = fault;
                g_injection.failAt = k;
                broken = scenario.operate();
                g_injection.fault = Fault::kCount;
                EXPECT_EQ("", broken) << where;
                EXPECT_EQ("", CheckGiven(bounds, scenario.exact)) << where;
                EXPECT_EQ(0, viewHook_(kEventViewTracking, kView, 0)) << where << ": a stroke is still under way";
                // With memory back: undo restores exactly, and the operation is exact.
                Undo();
                EXPECT_EQ("", Difference(before, Shown())) << where << ": undo afterwards";
                scenario.operate();
                EXPECT_EQ("", Difference(after, Shown())) << where << ": the same operation afterwards";
                ++tried;
                if (HasFailure()) return;
            }
        }
        std::printf("%s: %ld allocations, %ld points tried in three modes\n", scenario.name, count, tried);
    }

    HWND palette_ = nullptr;
};

TEST_F(AllocationSweepTest, StrokesSurviveEveryAllocationFailure) {
    auto stroke = [this] { return Stroke(250, 250) == 1 ? std::string() : std::string("the press was not answered 1"); };
    Sweep({"first press on a map, a stroke, release", [] {}, stroke, false});
    if (HasFailure()) return;
    Sweep({"a stroke on an edited map, then undo", [this] { Stroke(200, 280); },
           [this] {
               std::string broken = Stroke(250, 250) == 1 ? "" : "the press was not answered 1";
               Undo();
               return broken;
           },
           false});
}

TEST_F(AllocationSweepTest, GenerationsSurviveEveryAllocationFailure) {
    const struct {
        const char* name;
        int column, row, dist;
    } squares[] = {{"generation over 1 block", 160, 160, 40},
                   {"generation over 2 blocks", 320, 160, 40},
                   {"generation over 4 blocks", 320, 320, 40}};
    for (const auto& square : squares) {
        Sweep({square.name, [] {},
               [this, &square] {
                   Generate(square.column, square.row, square.dist);
                   return std::string();
               },
               true});
        if (HasFailure()) return;
    }
}

// The palette either opens with the values it was given or not at all; the next menu
// command then opens it right.
TEST_F(AllocationSweepTest, ThePaletteOpensRightOrNotAtAll) {
    std::wstring expected;
    long count = 1;
    for (long k = 0; k <= count; ++k) {
        for (Fault fault : {Fault::kOnce, Fault::kFrom}) {
            ::SendMessageW(FindPalette(), WM_COMMAND, IDCANCEL, 0);
            PumpMessages();
            g_injection = Injection();
            g_injection.fault = k == 0 ? Fault::kCount : fault;
            g_injection.failAt = k;
            std::wstring state = PaletteState(Open());
            g_injection.fault = Fault::kCount;
            if (k == 0) expected = state, count = g_injection.calls;
            if (state != L"closed") EXPECT_EQ(expected, state) << kFaultNames[static_cast<int>(fault)] << " at " << k;
            EXPECT_EQ(expected, PaletteState(Open())) << "reopened after " << kFaultNames[static_cast<int>(fault)] << " at " << k;
        }
    }
    ASSERT_NE(L"closed", expected);
    palette_ = FindPalette();
    std::printf("open the palette from the menu: %ld allocations, tried once and from each\n", count);
}

TEST_F(AllocationSweepTest, SavingAndUnloadingAllocateNothing) {
    Stroke(250, 250);
    g_injection = Injection();
    EXPECT_EQ(1, DH_SaveMap(map_));
    EXPECT_EQ(0, g_injection.calls) << "save";
    EXPECT_FALSE(g_given.empty()) << "the save gave the host its blocks";
    DH_CloseMap(map_);
    map_ = 0;
    g_injection = Injection();
    Unload();
    EXPECT_EQ(0, g_injection.calls) << "unload";
}

}  // namespace
