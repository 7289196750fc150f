#include "tests/windows/plugin_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/utf8_win.h"

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

namespace {

std::wstring g_testFolder;

// The run's folder: the temporary folder, then one per process, so runs never meet.
std::wstring RunFolder() {
    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp, length) + L"zolva-tests-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
}

}  // namespace

std::wstring TestFolder() {
    if (!g_testFolder.empty()) return g_testFolder;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "-" + info->name() : "outside-tests";
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':') c = '-';
    }
    g_testFolder = RunFolder() + Widen(name) + L"\\";
    std::error_code ignored;
    std::filesystem::create_directories(g_testFolder, ignored);
    return g_testFolder;
}

void EndTestFolder(bool passed) {
    if (g_testFolder.empty()) return;
    std::error_code ignored;
    if (passed) {
        std::filesystem::remove_all(g_testFolder, ignored);
    } else {
        std::printf("what the test wrote is kept in %s\n", Narrow(g_testFolder).c_str());
    }
    g_testFolder.clear();
}

void EndRunFolder() {
    std::error_code ignored;
    std::filesystem::remove(RunFolder(), ignored);  // only when empty
}

std::string Utf8(const std::wstring& text) { return Narrow(text); }

int WineSlowdown() {
    const char* factor = std::getenv("ZOLVA_WINE_SLOWDOWN");
    int value = factor != nullptr ? std::atoi(factor) : 1;
    return value >= 1 ? value : 1;
}

std::string ReadFileBytes(const std::string& utf8Path) {
    std::string bytes;
    std::FILE* file = std::fopen(utf8Path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
    std::fclose(file);
    return bytes;
}

void PluginTest::SetUp() {
    DH_Reset();
    DH_CaptureMessageBoxes(IDOK);
    DH_SetMainWnd(nullptr);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    profileDir_ = Utf8(TestFolder()) + "profiles";
    DH_SetProfileDir(profileDir_.c_str());
    std::remove(DH_GetProfilePath(kTestPluginHandle));
    // Asking for the path loaded the old file; start again from the empty folder.
    DH_SetProfileDir(profileDir_.c_str());
}

void PluginTest::TearDown() {
    Unload();
    DH_CaptureMessageBoxes(0);
}

bool PluginTest::Load() {
    module_ = DH_LoadPlugin((ExecutableFolder() + L"Zolva.qpl").c_str());
    if (module_ == nullptr) {
        ADD_FAILURE() << "cannot load Zolva.qpl, error " << ::GetLastError();
        return false;
    }
    init_ = reinterpret_cast<InitProc>(::GetProcAddress(module_, "Init"));
    close_ = reinterpret_cast<CloseProc>(::GetProcAddress(module_, "Close"));
    about_ = reinterpret_cast<AboutProc>(::GetProcAddress(module_, "About"));
    release_ = reinterpret_cast<ReleaseProc>(::GetProcAddress(module_, "Release"));
    bool complete = init_ && close_ && about_ && release_;
    EXPECT_TRUE(complete) << "an entry point is not exported under its plain name";
    return complete;
}

void PluginTest::Unload() {
    if (module_ != nullptr) ::FreeLibrary(module_);
    module_ = nullptr;
}

int PluginTest::CallInit(HPI_PLUGININFO* info, int hostVersion) {
    DH_SetVersion(hostVersion);
    return init_(info, kTestPluginHandle);
}
