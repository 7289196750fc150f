// The module as a host sees it: Init against old and new hosts, the information record,
// the registrations, Close, About, Release, the version resource and unloading.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/perlin.h"
#include "tests/windows/plugin_fixture.h"

namespace {

const wchar_t kOldHostText[] = L"Zolva.qpl\nBravoneのバージョンが古いためこのプラグインは使用できません.";

void FillPattern(HPI_PLUGININFO* info) {
    auto* bytes = reinterpret_cast<unsigned char*>(info);
    for (size_t i = 0; i < sizeof *info; ++i) bytes[i] = static_cast<unsigned char>(0xA5 ^ i);
}

std::vector<DH_REGISTRATION> Registrations() {
    std::vector<DH_REGISTRATION> list(static_cast<size_t>(DH_RegistrationCount()));
    for (size_t i = 0; i < list.size(); ++i) DH_GetRegistration(static_cast<int>(i), &list[i]);
    return list;
}

using LifecycleTest = PluginTest;

TEST_F(LifecycleTest, OldHostIsRefusedWithTheMessageAndNothingElse) {
    ASSERT_TRUE(Load());
    HPI_PLUGININFO info, before;
    FillPattern(&info);
    before = info;
    EXPECT_EQ(0, CallInit(&info, 600));
    EXPECT_EQ(0, std::memcmp(&info, &before, sizeof info)) << "the record must stay untouched";
    EXPECT_EQ(0, DH_RegistrationCount()) << "no menu entry or hook for a refused host";
    ASSERT_EQ(1, DH_MessageBoxCount());
    DH_MESSAGEBOX box;
    DH_GetMessageBox(0, &box);
    EXPECT_STREQ(kOldHostText, box.text);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONINFORMATION), box.type & MB_ICONMASK);
}

TEST_F(LifecycleTest, HostVersionBoundary) {
    const struct {
        int version;
        int expected;
    } rows[] = {{0, 0}, {599, 0}, {600, 0}, {601, 1}, {800, 1}};
    for (const auto& row : rows) {
        ASSERT_TRUE(Load());
        DH_Reset();
        HPI_PLUGININFO info = {};
        EXPECT_EQ(row.expected, CallInit(&info, row.version)) << "host version " << row.version;
        EXPECT_EQ(row.expected ? 0 : 1, DH_MessageBoxCount()) << "host version " << row.version;
        Unload();
    }
}

TEST_F(LifecycleTest, InitWritesTheFourFieldsAndNothingElse) {
    ASSERT_TRUE(Load());
    HPI_PLUGININFO info;
    FillPattern(&info);
    HPI_PLUGININFO expected = info;
    expected.size = 280;
    std::memcpy(expected.name, "Terrain Editor Plugin", 22);
    std::memcpy(expected.version, "1.0", 4);
    expected.extra[0] = '\0';
    ASSERT_EQ(1, CallInit(&info, 601));
    EXPECT_EQ(0, std::memcmp(&info, &expected, sizeof info))
        << "each text field must end at its NUL, with the bytes after it untouched";
    EXPECT_EQ(0, DH_MessageBoxCount());
}

TEST_F(LifecycleTest, RegistersTwoMenuEntriesThenBothHooksInOrder) {
    ASSERT_TRUE(Load());
    HPI_PLUGININFO info = {};
    ASSERT_EQ(1, CallInit(&info, 601));
    std::vector<DH_REGISTRATION> list = Registrations();
    ASSERT_EQ(4u, list.size());
    for (const DH_REGISTRATION& entry : list) EXPECT_EQ(kTestPluginHandle, entry.plugin);
    EXPECT_EQ(kRegisteredMenu, list[0].kind);
    EXPECT_EQ(6u, list[0].group);
    EXPECT_EQ(0, list[0].hasText) << "the first entry is a separator";
    EXPECT_EQ(nullptr, list[0].proc);
    EXPECT_EQ(kRegisteredMenu, list[1].kind);
    EXPECT_EQ(6u, list[1].group);
    EXPECT_STREQ("地形エディタ", list[1].text);
    EXPECT_NE(nullptr, list[1].proc);
    EXPECT_EQ(kRegisteredMapHook, list[2].kind);
    EXPECT_NE(nullptr, list[2].proc);
    EXPECT_EQ(kRegisteredViewHook, list[3].kind);
    EXPECT_NE(nullptr, list[3].proc);
    EXPECT_NE(list[1].proc, list[2].proc);
    EXPECT_NE(list[2].proc, list[3].proc);
}

TEST_F(LifecycleTest, FreshHooksAnswerZero) {
    ASSERT_TRUE(Load());
    HPI_PLUGININFO info = {};
    ASSERT_EQ(1, CallInit(&info, 601));
    std::vector<DH_REGISTRATION> list = Registrations();
    ASSERT_EQ(4u, list.size());
    HPI_CALLBACK mapHook = list[2].proc;
    HPI_CALLBACK viewHook = list[3].proc;
    for (int event : {202, 203, 204, 206, 999}) {
        EXPECT_EQ(0, mapHook(event, 1, 0)) << "map event " << event << " for a never-edited map";
        EXPECT_EQ(0, mapHook(event, 0, 0)) << "map event " << event << " for map handle 0";
    }
    EXPECT_EQ(0, viewHook(kEventViewTracking, 1, 0)) << "no stroke is tracked";
    EXPECT_EQ(0, viewHook(12345, 1, 0));
}

TEST_F(LifecycleTest, CloseAboutRelease) {
    ASSERT_TRUE(Load());
    HPI_PLUGININFO info = {};
    ASSERT_EQ(1, CallInit(&info, 601));
    EXPECT_EQ(1, close_()) << "Close without a palette";
    EXPECT_EQ(1, close_()) << "Close twice";
    EXPECT_EQ(0, DH_MessageBoxCount());

    for (int answer : {IDOK, IDCANCEL}) {
        DH_CaptureMessageBoxes(answer);
        EXPECT_EQ(answer, about_()) << "About returns the message box result";
    }
    ASSERT_EQ(2, DH_MessageBoxCount());
    DH_MESSAGEBOX box;
    DH_GetMessageBox(0, &box);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONINFORMATION), box.type & MB_ICONMASK);
    std::wstring text = box.text;
    EXPECT_EQ(0u, text.find(L"Zolva.qpl\n")) << Utf8(text);
    EXPECT_GT(text.size(), std::wcslen(L"Zolva.qpl\n")) << "About has a credit line";

    int registrations = DH_RegistrationCount();
    release_();
    EXPECT_EQ(registrations, DH_RegistrationCount());
    EXPECT_EQ(2, DH_MessageBoxCount());
}

std::wstring VersionValue(const std::vector<char>& data, const wchar_t* name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), query.c_str(), &value, &length) || value == nullptr) {
        return L"(missing)";
    }
    return static_cast<const wchar_t*>(value);
}

TEST(VersionResourceTest, CarriesEveryValue) {
    std::wstring path = ExecutableFolder() + L"Zolva.qpl";
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00010001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00010001u, fixed->dwProductVersionLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(0x0411, translation[0]) << "Japanese";
    EXPECT_EQ(1200, translation[1]) << "Unicode";

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } rows[] = {
        {L"FileVersion", L"1, 0, 1, 1"},
        {L"ProductVersion", L"1.01"},
        {L"InternalName", L"Zolva"},
        {L"OriginalFilename", L"Zolva.qpl"},
        {L"FileDescription", L"Bravone ３Ｄ - 地形エディタプラグイン"},
        {L"ProductName", L"Bravone"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(std::wstring(row.value), VersionValue(data, row.name)) << Utf8(row.name);
    }
}

// The copy operators as a host built with the Microsoft compiler finds and calls them: by
// its names, with `this` in ECX; each copies the whole object and returns `this`.
TEST(ExportTableTest, ExportsTheEntriesAndTheNoiseCopyOperators) {
    HMODULE module = ::LoadLibraryExW((ExecutableFolder() + L"Zolva.qpl").c_str(), nullptr,
                                      DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, module);
    for (const char* name : {"Init", "Close", "About", "Release"}) {
        EXPECT_NE(nullptr, reinterpret_cast<void*>(::GetProcAddress(module, name))) << name;
    }
    typedef void*(__attribute__((thiscall)) * Assign)(void* self, const void* other);
    const struct {
        const char* name;
        size_t size;
    } operators[] = {{"??4CPerlinNoise@@QAEAAV0@ABV0@@Z", sizeof(CPerlinNoise)},
                     {"??4CPerlinCloud@@QAEAAV0@ABV0@@Z", sizeof(CPerlinCloud)},
                     {"??4CPerlinBump@@QAEAAV0@ABV0@@Z", sizeof(CPerlinBump)}};
    for (const auto& op : operators) {
        auto assign = reinterpret_cast<Assign>(::GetProcAddress(module, op.name));
        ASSERT_NE(nullptr, reinterpret_cast<void*>(assign)) << op.name;
        std::vector<unsigned char> from(op.size + 8), to(op.size + 8, 0xEE);
        for (size_t i = 0; i < op.size; ++i) from[i] = static_cast<unsigned char>(i * 7 + 1);
        EXPECT_EQ(to.data(), assign(to.data(), from.data())) << op.name;
        EXPECT_TRUE(std::equal(from.begin(), from.begin() + op.size, to.begin())) << op.name;
        EXPECT_EQ(0xEE, to[op.size]) << op.name << " copies past the object";
    }
    EXPECT_EQ(nullptr, reinterpret_cast<void*>(::GetProcAddress(module, "DllMain")))
        << "only the listed names are exported";
    ::FreeLibrary(module);
}

TEST_F(LifecycleTest, UnloadWithoutPaletteWritesTheBrushDefaults) {
    // Values from an earlier run that the defaults must overwrite.
    ASSERT_EQ(1, HPI_WriteProfileInt(kTestPluginHandle, "BrushSize", 5));
    ASSERT_EQ(1, HPI_WriteProfileInt(kTestPluginHandle, "BrushMethod", 3));
    ASSERT_TRUE(Load());
    HPI_PLUGININFO info = {};
    ASSERT_EQ(1, CallInit(&info, 601));
    Unload();

    const struct {
        const char* key;
        unsigned value;
    } rows[] = {{"BrushMethod", 1}, {"BrushSize", 20}, {"BrushStrength", 50},
                {"BrushShape", 0}, {"BrushAlt", 500}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.value, HPI_GetProfileInt(kTestPluginHandle, row.key, -12345)) << row.key;
    }
    std::string file = ReadFileBytes(DH_GetProfilePath(kTestPluginHandle));
    EXPECT_NE(std::string::npos, file.find("BrushSize=20\n")) << file;
}

}  // namespace
