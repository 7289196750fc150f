#include <gtest/gtest.h>

#include "tests/windows/plugin_fixture.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The plug-in code linked into this executable saves its brush values at exit too;
    // keep that away from the tests' own profile folders.
    std::string folder = Utf8(ExecutableFolder()) + "profiles-test-exe";
    DH_SetProfileDir(folder.c_str());
    int result = RUN_ALL_TESTS();
    DH_SetProfileDir(folder.c_str());
    return result;
}
