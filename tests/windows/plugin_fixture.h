// Loads the real Zolva.qpl through hpi.dll, with message boxes captured, and unloads it
// after each test so every test starts from a freshly loaded module.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "devhost/hpi/devhost_api.h"
#include "host/plugin_entry.h"

const HPI_HANDLE kTestPluginHandle = 7;

// Folder of the running test executable, with a trailing backslash.
std::wstring ExecutableFolder();
// The running test's own folder for what it writes (maps, profiles, screenshots, logs),
// under the system's temporary folder, with a trailing backslash; made on first use.
std::wstring TestFolder();
// At the end of each test: its folder is removed when it passed, and kept and named when
// it failed. Then the run's folder, once empty.
void EndTestFolder(bool passed);
void EndRunFolder();
std::string Utf8(const std::wstring& text);
// How many times longer than usual Wine runs take here (ZOLVA_WINE_SLOWDOWN, 1 when
// unset): the tests' time limits are multiplied by it.
int WineSlowdown();
std::string ReadFileBytes(const std::string& utf8Path);

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the module; false (with a test failure) when it cannot be loaded.
    bool Load();
    void Unload();
    int CallInit(HPI_PLUGININFO* info, int hostVersion);

    HMODULE module_ = nullptr;
    std::string profileDir_;
    InitProc init_ = nullptr;
    CloseProc close_ = nullptr;
    AboutProc about_ = nullptr;
    ReleaseProc release_ = nullptr;
};
