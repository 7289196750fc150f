#include <gtest/gtest.h>

#include "tests/windows/plugin_fixture.h"

namespace {

class TestFolderCleanup : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& info) override { EndTestFolder(info.result()->Passed()); }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TestFolderCleanup);
    // The plug-in code linked into this executable saves its brush values at exit too;
    // keep that away from the tests' own profile folders, in one fixed place of its own.
    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    std::string folder = Utf8(std::wstring(temp, length)) + "zolva-tests-exit-profile";
    DH_SetProfileDir(folder.c_str());
    int result = RUN_ALL_TESTS();
    EndRunFolder();
    DH_SetProfileDir(folder.c_str());
    return result;
}
