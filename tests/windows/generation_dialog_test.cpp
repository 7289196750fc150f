// The generation dialog through the real module: the palette's generate button opens it
// over a map whose mean mesh size is 50 m; a thread timer answers it from inside its
// modal loop with real messages, and the test reads what it showed and what it stored.
#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

#include "mapstore/map_file.h"
#include "res/resource.h"
#include "tests/windows/map_fixture.h"

namespace {

const wchar_t kCaption[] = L"地形の生成";
int16_t Flat(int, int) { return 100; }

// Cells of 50.5 m each way near the equator: the host truncates both sizes to 50 m.
const TestMap kMap = {"generation", 0.2, 139.0, 50.5 / 110574.0, 50.5 / 111320.0, Flat};
const int kAnswerPeriodMs = 20;
const int kMaxWaitTicks = 250;  // 5 s without a dialog ends the wait

const char* const kKeys[] = {"Gen_Edge", "Gen_Method", "Gen_MaxAlt", "Gen_MinAlt",
                             "Gen_Dist", "Gen_Persistance", "Gen_Mag"};
const unsigned kNotStored = static_cast<unsigned>(-12345);

using Script = std::function<void(HWND dialog)>;

// The answer the timer gives to the next dialog.
struct PendingAnswer {
    Script script;
    UINT_PTR timer = 0;
    int ticks = 0;
    bool ran = false;
    bool closed = false;
};
PendingAnswer* g_pending = nullptr;

BOOL CALLBACK FindDialogWindow(HWND window, LPARAM found) {
    if (ClassOf(window) != L"#32770" || TextOf(window) != kCaption || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND FindGenerationDialog() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindDialogWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs inside the dialog's modal loop. A script that leaves the dialog open is a fault of
// the test; the dialog is then cancelled so nothing waits.
VOID CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
    PendingAnswer& pending = *g_pending;
    HWND dialog = FindGenerationDialog();
    if (dialog == nullptr) {
        if (++pending.ticks > kMaxWaitTicks * WineSlowdown()) ::KillTimer(nullptr, pending.timer);
        return;
    }
    ::KillTimer(nullptr, pending.timer);
    pending.ran = true;
    pending.script(dialog);
    if (!pending.closed) {
        ADD_FAILURE() << "the script left the dialog open";
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

void Answer(HWND dialog, int id) {
    g_pending->closed = true;
    ::SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
}

// As a released thumb does: the new position, then the scroll messages to the dialog.
void MoveSlider(HWND dialog, int id, int position) {
    HWND slider = ::GetDlgItem(dialog, id);
    ::SendMessageW(slider, TBM_SETPOS, TRUE, position);
    ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(slider));
    ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(slider));
}

// WM_SETTEXT makes the edit box notify the dialog, as typing does.
void Type(HWND dialog, int id, const wchar_t* text) { ::SetDlgItemTextW(dialog, id, text); }

int Pos(HWND dialog, int id) { return static_cast<int>(::SendDlgItemMessageW(dialog, id, TBM_GETPOS, 0, 0)); }
int RangeMin(HWND dialog, int id) { return static_cast<int>(::SendDlgItemMessageW(dialog, id, TBM_GETRANGEMIN, 0, 0)); }
int RangeMax(HWND dialog, int id) { return static_cast<int>(::SendDlgItemMessageW(dialog, id, TBM_GETRANGEMAX, 0, 0)); }
std::wstring Text(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }
bool Checked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

int ThumbCentre(HWND dialog, int id) {
    RECT thumb;
    ::SendDlgItemMessageW(dialog, id, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    return (thumb.left + thumb.right) / 2;
}

// Where the thumb belongs on the channel for the slider's position and range.
int ExpectedThumbCentre(HWND dialog, int id) {
    RECT channel, thumb;
    ::SendDlgItemMessageW(dialog, id, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    ::SendDlgItemMessageW(dialog, id, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    double travel = (channel.right - channel.left) - (thumb.right - thumb.left);
    double fraction = double(Pos(dialog, id) - RangeMin(dialog, id)) / (RangeMax(dialog, id) - RangeMin(dialog, id));
    return static_cast<int>(channel.left + (thumb.right - thumb.left) / 2.0 + travel * fraction);
}

// Index of the checked blend button, -1 when none is.
int CheckedMethod(HWND dialog) {
    const int buttons[] = {IDC_GEN_METHOD_ADD, IDC_GEN_METHOD_SUBTRACT, IDC_GEN_METHOD_REPLACE};
    int checked = -1;
    for (int i = 0; i < 3; ++i) {
        if (!Checked(dialog, buttons[i])) continue;
        if (checked != -1) return -2;
        checked = i;
    }
    return checked;
}

// A click on generate that has not come back within the limit (a dialog that never
// reaches its message loop cannot be answered by the timer) ends the test run at once
// instead of letting it hang.
class Watchdog {
public:
    Watchdog() : done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = ::CreateThread(nullptr, 0, Watch, done_, 0, nullptr);
    }
    ~Watchdog() {
        ::SetEvent(done_);
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
        ::CloseHandle(done_);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    static DWORD WINAPI Watch(void* done) {
        if (::WaitForSingleObject(done, 30000 * WineSlowdown()) != WAIT_TIMEOUT) return 0;
        std::fprintf(stderr, "FATAL: the generate button did not return within 30 s\n");
        std::fflush(stderr);
        ::TerminateProcess(::GetCurrentProcess(), 3);
        return 0;
    }
    HANDLE done_;
    HANDLE thread_;
};

GEOPOS Geo(int column, int row) { return CellCentre(kMap, column, row); }

class GenerationDialogTest : public MapViewFixture {
protected:
    GenerationDialogTest() : MapViewFixture(kMap) {}
    void SetUp() override {
        MapViewFixture::SetUp();
        if (HasFatalFailure()) return;
        palette_ = Open();
        ASSERT_NE(nullptr, palette_);
    }

    // Clicks generate and answers the dialog with `script`; false when no dialog came.
    bool Generate(Script script) {
        PendingAnswer pending;
        pending.script = std::move(script);
        g_pending = &pending;
        pending.timer = ::SetTimer(nullptr, 0, kAnswerPeriodMs, AnswerDialog);
        Watchdog watchdog;
        ::SendDlgItemMessageW(palette_, IDC_GENERATE_BUTTON, BM_CLICK, 0, 0);
        ::KillTimer(nullptr, pending.timer);
        PumpMessages();
        g_pending = nullptr;
        return pending.ran;
    }
    bool Confirm(Script before = [](HWND) {}) {
        return Generate([&](HWND dialog) { before(dialog), Answer(dialog, IDOK); });
    }
    bool Cancel(Script before = [](HWND) {}) {
        return Generate([&](HWND dialog) { before(dialog), Answer(dialog, IDCANCEL); });
    }
    void Store(const char* key, unsigned value) { HPI_WriteProfileInt(kTestPluginHandle, key, static_cast<int>(value)); }
    int Stored(const char* key) const { return static_cast<int>(ProfileInt(key)); }

    HWND palette_ = nullptr;
};

TEST_F(GenerationDialogTest, DefaultsShowInKilometresAndMetresAndConfirmStoresThem) {
    ASSERT_TRUE(Confirm([](HWND dialog) {
        EXPECT_EQ(L"8.0", Text(dialog, IDC_GEN_RANGE_EDIT));
        EXPECT_EQ(L"4000", Text(dialog, IDC_GEN_MAX_ALT_EDIT));
        EXPECT_EQ(L"0", Text(dialog, IDC_GEN_MIN_ALT_EDIT));
        EXPECT_EQ(2, CheckedMethod(dialog)) << "replacement";
        EXPECT_TRUE(Checked(dialog, IDC_GEN_EDGE_SMOOTH));
        const struct {
            int id, minimum, maximum, page, position;
        } sliders[] = {
            {IDC_GEN_ROUGHNESS_SLIDER, 1, 100, 10, 50},     {IDC_GEN_RELIEF_SLIDER, 1, 100, 10, 50},
            {IDC_GEN_RANGE_SLIDER, 1, 1000, 100, 80},       {IDC_GEN_MAX_ALT_SLIDER, 1, 10000, 100, 4000},
            {IDC_GEN_MIN_ALT_SLIDER, -10000, 4000, 100, 0},
        };
        for (const auto& s : sliders) {
            EXPECT_EQ(s.minimum, RangeMin(dialog, s.id)) << "slider " << s.id;
            EXPECT_EQ(s.maximum, RangeMax(dialog, s.id)) << "slider " << s.id;
            EXPECT_EQ(s.page, ::SendDlgItemMessageW(dialog, s.id, TBM_GETPAGESIZE, 0, 0)) << "slider " << s.id;
            EXPECT_EQ(s.position, Pos(dialog, s.id)) << "slider " << s.id;
            EXPECT_NEAR(ExpectedThumbCentre(dialog, s.id), ThumbCentre(dialog, s.id), 3) << "slider " << s.id;
        }
    }));
    const int expected[] = {1, 3, 4000, 0, 160, 500, 1000};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(expected[i], Stored(kKeys[i])) << kKeys[i];
    EXPECT_GT(DH_DisplayCacheCount(map_), 0) << "the confirmed dialog generated and pushed";
}

TEST_F(GenerationDialogTest, TemplateHasItsTextsAndHidesTheBorderGroup) {
    ASSERT_TRUE(Cancel([](HWND dialog) {
        const struct {
            int id;
            const wchar_t* text;
            bool visible;
        } controls[] = {
            {IDOK, L"生成", true},
            {IDCANCEL, L"ｷｬﾝｾﾙ", true},
            {IDC_GEN_METHOD_ADD, L"足し算(&P)", true},
            {IDC_GEN_METHOD_SUBTRACT, L"引き算(&M)", true},
            {IDC_GEN_METHOD_REPLACE, L"置き換え(&L)", true},
            {IDC_GEN_EDGE_SMOOTH, L"なめらかに(&S)", false},
            {IDC_GEN_EDGE_AS_IS, L"そのまま(&N)", false},
        };
        for (const auto& c : controls) {
            EXPECT_EQ(std::wstring(c.text), Text(dialog, c.id)) << "control " << c.id;
            EXPECT_EQ(c.visible, ::IsWindowVisible(::GetDlgItem(dialog, c.id)) != FALSE) << "control " << c.id;
        }
        EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
        // Every label, in template order, and whether it shows.
        std::vector<std::wstring> shown, hidden;
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (::GetDlgCtrlID(child) != -1 && ::GetDlgCtrlID(child) != 0xFFFF) continue;
            (::IsWindowVisible(child) ? shown : hidden).push_back(TextOf(child));
        }
        const std::vector<std::wstring> labels = {
            L"現在の表示の中心から地形を生成します.", L"生成範囲(&G)", L"km以内", L"地形の荒さ(&R)", L"荒い",
            L"滑らか", L"地形の起伏(&F)", L"細かい", L"大きい", L"既存地形との合成方法", L"最大標高(&A)",
            L"m", L"最低標高(&L)", L"m"};
        EXPECT_EQ(labels, shown);
        EXPECT_EQ(std::vector<std::wstring>{L"生成範囲の境界処理"}, hidden);
    }));
    EXPECT_EQ(kNotStored, ProfileInt("Gen_Mag"));
}

TEST_F(GenerationDialogTest, RoughnessAndReliefStoreTruncatedAndReopenTruncated) {
    const struct {
        int slider, position;
        const char* key;
        int stored, reopened;
    } rows[] = {
        {IDC_GEN_RELIEF_SLIDER, 51, "Gen_Mag", 1047, 50},
        {IDC_GEN_RELIEF_SLIDER, 100, "Gen_Mag", 10000, 100},
        {IDC_GEN_RELIEF_SLIDER, 25, "Gen_Mag", 316, 24},  // log10(0.316) = -0.5003
        {IDC_GEN_ROUGHNESS_SLIDER, 10, "Gen_Persistance", 900, 9},
        {IDC_GEN_ROUGHNESS_SLIDER, 100, "Gen_Persistance", 0, 100},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(Confirm([&](HWND dialog) {
            Type(dialog, IDC_GEN_RANGE_EDIT, L"0");  // nothing to generate
            MoveSlider(dialog, row.slider, row.position);
        }));
        EXPECT_EQ(row.stored, Stored(row.key)) << "slider " << row.slider << " at " << row.position;
        ASSERT_TRUE(Cancel([&](HWND dialog) {
            EXPECT_EQ(row.reopened, Pos(dialog, row.slider)) << "slider " << row.slider << " at " << row.position;
        }));
    }
}

TEST_F(GenerationDialogTest, CancelStoresNothingAndTheNextOpeningShowsThePreviousValues) {
    ASSERT_TRUE(Confirm([](HWND dialog) {
        Type(dialog, IDC_GEN_RANGE_EDIT, L"0");
        Type(dialog, IDC_GEN_MAX_ALT_EDIT, L"2500");
    }));
    const int before[] = {1, 3, 2500, 0, 0, 500, 1000};
    ASSERT_TRUE(Cancel([](HWND dialog) {
        MoveSlider(dialog, IDC_GEN_RELIEF_SLIDER, 90);
        MoveSlider(dialog, IDC_GEN_MAX_ALT_SLIDER, 100);
        Type(dialog, IDC_GEN_RANGE_EDIT, L"3.5");
        ::SendDlgItemMessageW(dialog, IDC_GEN_METHOD_ADD, BM_CLICK, 0, 0);
    }));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(before[i], Stored(kKeys[i])) << kKeys[i];
    ASSERT_TRUE(Cancel([](HWND dialog) {
        EXPECT_EQ(L"0.0", Text(dialog, IDC_GEN_RANGE_EDIT));
        EXPECT_EQ(L"2500", Text(dialog, IDC_GEN_MAX_ALT_EDIT));
        EXPECT_EQ(50, Pos(dialog, IDC_GEN_RELIEF_SLIDER));
        EXPECT_EQ(2, CheckedMethod(dialog));
    }));
    EXPECT_EQ(0, DH_DisplayCacheCount(map_)) << "neither dialog generated anything";
}

TEST_F(GenerationDialogTest, RadioGroupsCarryMethodAndBorderThroughEveryConfirmation) {
    const int kNone = INT_MAX;
    const struct {
        int storedMethod, storedEdge, click;
        int shownMethod;
        int method, edge;
    } rows[] = {
        {kNone, kNone, 0, 2, 3, 1},
        {1, 0, 0, 0, 1, 0},
        {2, 1, IDC_GEN_METHOD_REPLACE, 1, 3, 1},
        {0, 0, 0, -1, 0, 0},
        {4, 1, 0, -1, 0, 1},
        {INT_MIN, 7, 0, -1, 0, 2},
        {-5, -1, IDC_GEN_METHOD_SUBTRACT, -1, 2, 2},
    };
    for (const auto& row : rows) {
        if (row.storedMethod != kNone) Store("Gen_Method", static_cast<unsigned>(row.storedMethod));
        if (row.storedEdge != kNone) Store("Gen_Edge", static_cast<unsigned>(row.storedEdge));
        ASSERT_TRUE(Confirm([&](HWND dialog) {
            EXPECT_EQ(row.shownMethod, CheckedMethod(dialog)) << "stored method " << row.storedMethod;
            Type(dialog, IDC_GEN_RANGE_EDIT, L"0");
            if (row.click != 0) ::SendDlgItemMessageW(dialog, row.click, BM_CLICK, 0, 0);
        }));
        EXPECT_EQ(row.method, Stored("Gen_Method")) << "stored method " << row.storedMethod;
        EXPECT_EQ(row.edge, Stored("Gen_Edge")) << "stored edge " << row.storedEdge;
    }
}

TEST_F(GenerationDialogTest, SlidersWriteTheirBoxesAndTheMaximumPullsTheMinimumDown) {
    ASSERT_TRUE(Confirm([](HWND dialog) {
        MoveSlider(dialog, IDC_GEN_RANGE_SLIDER, 100);
        EXPECT_EQ(L"10.0", Text(dialog, IDC_GEN_RANGE_EDIT));
        MoveSlider(dialog, IDC_GEN_MIN_ALT_SLIDER, 1000);
        EXPECT_EQ(L"1000", Text(dialog, IDC_GEN_MIN_ALT_EDIT));

        MoveSlider(dialog, IDC_GEN_MAX_ALT_SLIDER, 2000);
        EXPECT_EQ(L"2000", Text(dialog, IDC_GEN_MAX_ALT_EDIT));
        EXPECT_EQ(L"1000", Text(dialog, IDC_GEN_MIN_ALT_EDIT)) << "a maximum above the minimum leaves it";
        EXPECT_EQ(2000, RangeMax(dialog, IDC_GEN_MIN_ALT_SLIDER));
        EXPECT_NEAR(ExpectedThumbCentre(dialog, IDC_GEN_MIN_ALT_SLIDER), ThumbCentre(dialog, IDC_GEN_MIN_ALT_SLIDER), 3)
            << "the minimum thumb follows its new range";

        MoveSlider(dialog, IDC_GEN_MAX_ALT_SLIDER, 300);
        EXPECT_EQ(L"300", Text(dialog, IDC_GEN_MAX_ALT_EDIT));
        EXPECT_EQ(L"300", Text(dialog, IDC_GEN_MIN_ALT_EDIT)) << "pulled down with the maximum";
        EXPECT_EQ(300, Pos(dialog, IDC_GEN_MIN_ALT_SLIDER));
        EXPECT_EQ(300, RangeMax(dialog, IDC_GEN_MIN_ALT_SLIDER));
        EXPECT_EQ(-10000, RangeMin(dialog, IDC_GEN_MIN_ALT_SLIDER));
    }));
    EXPECT_EQ(300, Stored("Gen_MaxAlt"));
    EXPECT_EQ(300, Stored("Gen_MinAlt"));
    EXPECT_EQ(200, Stored("Gen_Dist")) << "10 km at 50 m";
}

TEST_F(GenerationDialogTest, TypingMovesOnlySlidersAndTheMinimumBoxKeepsItsText) {
    ASSERT_TRUE(Confirm([](HWND dialog) {
        Type(dialog, IDC_GEN_MIN_ALT_EDIT, L"1000");
        EXPECT_EQ(1000, Pos(dialog, IDC_GEN_MIN_ALT_SLIDER));
        Type(dialog, IDC_GEN_MAX_ALT_EDIT, L"300");
        EXPECT_EQ(300, Pos(dialog, IDC_GEN_MAX_ALT_SLIDER));
        EXPECT_EQ(300, Pos(dialog, IDC_GEN_MIN_ALT_SLIDER)) << "the minimum slider follows";
        EXPECT_EQ(300, RangeMax(dialog, IDC_GEN_MIN_ALT_SLIDER));
        EXPECT_EQ(L"1000", Text(dialog, IDC_GEN_MIN_ALT_EDIT)) << "typing does not rewrite the other box";
        Type(dialog, IDC_GEN_RANGE_EDIT, L"2.54km");
        EXPECT_EQ(25, Pos(dialog, IDC_GEN_RANGE_SLIDER));
        EXPECT_EQ(L"2.54km", Text(dialog, IDC_GEN_RANGE_EDIT));
    }));
    EXPECT_EQ(300, Stored("Gen_MaxAlt"));
    EXPECT_EQ(1000, Stored("Gen_MinAlt")) << "a minimum above the maximum is accepted as typed";
    EXPECT_EQ(50, Stored("Gen_Dist")) << "trunc(2.54 x 0.02 x 1000)";
}

TEST_F(GenerationDialogTest, TextsOutsideTheSlidersAndHugeNumbersAreKeptOrSaturated) {
    ASSERT_TRUE(Confirm([](HWND dialog) {
        Type(dialog, IDC_GEN_MAX_ALT_EDIT, L"99999999999");
        EXPECT_EQ(10000, Pos(dialog, IDC_GEN_MAX_ALT_SLIDER));
        Type(dialog, IDC_GEN_MIN_ALT_EDIT, L"-99999999999");
        EXPECT_EQ(-10000, Pos(dialog, IDC_GEN_MIN_ALT_SLIDER));
        Type(dialog, IDC_GEN_RANGE_EDIT, L"1e300");
        EXPECT_EQ(1000, Pos(dialog, IDC_GEN_RANGE_SLIDER));
        Type(dialog, IDC_GEN_RANGE_EDIT, L"-99999");
        EXPECT_EQ(1, Pos(dialog, IDC_GEN_RANGE_SLIDER));
        EXPECT_EQ(L"-99999", Text(dialog, IDC_GEN_RANGE_EDIT));
    }));
    EXPECT_EQ(INT_MAX, Stored("Gen_MaxAlt"));
    EXPECT_EQ(INT_MIN, Stored("Gen_MinAlt"));
    EXPECT_EQ(-1999980, Stored("Gen_Dist"));
    EXPECT_EQ(0, DH_DisplayCacheCount(map_)) << "a negative range generates nothing";
}

TEST_F(GenerationDialogTest, DamagedStoredNoiseConstantsOpenAtTheSliderEnds) {
    const struct {
        unsigned mag, persistence;
        int relief, roughness;
        int storedMag, storedPersistence;
    } rows[] = {
        {0, 500, 1, 50, 104, 500},                        // magnification 0
        {50, 500, 1, 50, 104, 500},                       // 0.05, below 0.1
        {0xFFFFFFFFu, 500, 100, 50, 10000, 500},          // -1 read back unsigned
        {1000, static_cast<unsigned>(-500), 50, 1, 1000, 990},  // a negative persistence
        {1000, 2000, 50, 1, 1000, 990},                   // persistence 2
    };
    for (const auto& row : rows) {
        Store("Gen_Mag", row.mag);
        Store("Gen_Persistance", row.persistence);
        ASSERT_TRUE(Confirm([&](HWND dialog) {
            EXPECT_EQ(row.relief, Pos(dialog, IDC_GEN_RELIEF_SLIDER)) << "stored mag " << row.mag;
            EXPECT_EQ(row.roughness, Pos(dialog, IDC_GEN_ROUGHNESS_SLIDER)) << "stored persistence " << row.persistence;
            Type(dialog, IDC_GEN_RANGE_EDIT, L"0");
        }));
        EXPECT_EQ(row.storedMag, Stored("Gen_Mag")) << "stored mag " << row.mag;
        EXPECT_EQ(row.storedPersistence, Stored("Gen_Persistance")) << "stored persistence " << row.persistence;
    }
}

// The dialog as the screen shows it, written beside the executable for a human to look at.
TEST_F(GenerationDialogTest, ScreenshotShowsTheTextsOfTheDialog) {
    std::string path = Utf8(TestFolder()) + "generation_dialog.png";
    int width = 0, labelInk = 0, labelPixels = 0;
    ASSERT_TRUE(Cancel([&](HWND dialog) {
        // Clear of the palette, on top, and painted before the screen is read.
        ::SetWindowPos(dialog, HWND_TOPMOST, 200, 20, 0, 0, SWP_NOSIZE);
        ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpMessages();
        ::Sleep(200);
        PumpMessages();
        RECT rect, label;
        ::GetWindowRect(dialog, &rect);
        HWND firstLabel = ::GetWindow(::GetDlgItem(dialog, IDCANCEL), GW_HWNDNEXT);
        ::GetWindowRect(firstLabel, &label);
        POINT middle = {(label.left + label.right) / 2, (label.top + label.bottom) / 2};
        EXPECT_EQ(dialog, ::GetAncestor(::WindowFromPoint(middle), GA_ROOT)) << "nothing covers the dialog";
        width = rect.right - rect.left;
        int height = rect.bottom - rect.top;
        HDC screen = ::GetDC(nullptr);
        std::vector<uint8_t> rgb;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                COLORREF c = ::GetPixel(screen, x, y);
                rgb.insert(rgb.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
                if (x < label.left || x >= label.right || y < label.top || y >= label.bottom) continue;
                ++labelPixels;
                if (GetRValue(c) < 96 && GetGValue(c) < 96 && GetBValue(c) < 96) ++labelInk;
            }
        }
        ::ReleaseDC(nullptr, screen);
        EXPECT_NE(0, stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3)) << path;
        Answer(dialog, IDCANCEL);
    }));
    EXPECT_GT(width, 300) << "227 dialog units wide";
    // Glyphs cover part of the first label's box, never all of it.
    EXPECT_GT(labelInk, labelPixels / 20) << path;
    EXPECT_LT(labelInk, labelPixels / 2) << path;
}

// Carries out an action while the generation runs: posted from inside the dialog, it
// waits (re-posting itself) until the progress window is up, and records whether it came
// in time.
struct ReentryProbe {
    std::function<void()> action;
    bool duringGeneration = false;
    bool done = false;
};
ReentryProbe* g_probe = nullptr;
const UINT kProbeMessage = WM_APP + 17;

BOOL CALLBACK FindProgressWindow(HWND window, LPARAM found) {
    if (ClassOf(window) != L"#32770" || TextOf(window) != L"準備中" || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

LRESULT CALLBACK ProbeProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != kProbeMessage || g_probe == nullptr || g_probe->done) return ::DefWindowProcW(window, msg, wp, lp);
    HWND progress = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindProgressWindow, reinterpret_cast<LPARAM>(&progress));
    if (progress == nullptr && FindGenerationDialog() != nullptr) {
        ::PostMessageW(window, kProbeMessage, 0, 0);  // the dialog is still closing
        return 0;
    }
    g_probe->duringGeneration = progress != nullptr;
    g_probe->done = true;
    g_probe->action();
    return 0;
}

class ReentryTest : public GenerationDialogTest {
protected:
    void SetUp() override {
        GenerationDialogTest::SetUp();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = ProbeProc;
        windowClass.lpszClassName = L"ZolvaReentryProbe";
        ::RegisterClassW(&windowClass);
        probeWindow_ = ::CreateWindowW(L"ZolvaReentryProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        DH_GetRegistration(2, &mapHook_);
    }
    void TearDown() override {
        ::DestroyWindow(probeWindow_);
        g_probe = nullptr;
        GenerationDialogTest::TearDown();
    }

    // Confirms a replace generation of a small square and runs `action` while it runs.
    void GenerateWhile(std::function<void()> action) {
        Store("Gen_Dist", 100);
        probe_.action = std::move(action);
        g_probe = &probe_;
        ASSERT_TRUE(Confirm([this](HWND) { ::PostMessageW(probeWindow_, kProbeMessage, 0, 0); }));
        PumpMessages();
        ASSERT_TRUE(probe_.done);
        EXPECT_TRUE(probe_.duringGeneration) << "the action came after the generation had ended";
    }
    int Shown(int column, int row) {
        std::vector<short> block(kMapBlockSamples);
        DH_ReadViewBlock(map_, 0, block.data());
        return block[static_cast<size_t>(row * 320 + column)];
    }

    HWND probeWindow_ = nullptr;
    DH_REGISTRATION mapHook_ = {};
    ReentryProbe probe_;
};

TEST_F(ReentryTest, UndoClickDuringAGenerationIsIgnored) {
    GenerateWhile([this] { ::SendDlgItemMessageW(palette_, IDC_UNDO_BUTTON, BM_CLICK, 0, 0); });
    int generated = Shown(320 - 50, 320 - 50);  // the square around (320, 320) reaches block 0
    EXPECT_NE(100, generated) << "the generation went through";
    ::SendDlgItemMessageW(palette_, IDC_UNDO_BUTTON, BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(100, Shown(320 - 50, 320 - 50)) << "the undo copy survived and restores the ground";
}

TEST_F(ReentryTest, GenerateClickDuringAGenerationIsIgnored) {
    // A second generation would open a second dialog that nobody answers; the watchdog
    // would end the run.
    GenerateWhile([this] { ::SendDlgItemMessageW(palette_, IDC_GENERATE_BUTTON, BM_CLICK, 0, 0); });
    EXPECT_EQ(nullptr, FindGenerationDialog());
}

TEST_F(ReentryTest, PressInAViewDuringAGenerationStartsNothing) {
    long answer = -1;
    GenerateWhile([this, &answer] {
        HPI_VIEWEVENT event = {10, 10, Geo(300, 300)};
        answer = viewHook_(kEventViewPress, kView, reinterpret_cast<intptr_t>(&event));
    });
    EXPECT_EQ(0, answer) << "the press is left to the host";
    EXPECT_EQ(0, viewHook_(kEventViewTracking, kView, 0));
}

TEST_F(ReentryTest, MapClosedDuringAGenerationIsDiscardedAfterIt) {
    HPI_HANDLE closed = map_;
    GenerateWhile([this] {
        DH_CloseMap(map_);
        map_ = 0;
    });
    EXPECT_EQ(0, mapHook_.proc(kEventMapEditsHeld, closed, 0)) << "the editor is gone once the generation ended";
    map_ = DH_OpenMap(path_.c_str(), nullptr, 0);
    ASSERT_NE(0u, map_);
    EXPECT_EQ(100, Shown(0, 0)) << "nothing was written to the file";
}

}  // namespace
