// The stand-in host's state inside hpi.dll.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devhost/hpi/devhost_api.h"
#include "devhost/store/profile_store.h"

struct HostState {
    int version = 800;
    HWND mainWnd = nullptr;
    HINSTANCE resourceModule = nullptr;
    std::string profileDir = "profiles";
    std::vector<DH_REGISTRATION> registrations;
    std::map<HPI_HANDLE, std::unique_ptr<ProfileStore>> profiles;
    int messageBoxAnswer = 0;
    std::vector<DH_MESSAGEBOX> messageBoxes;
};

HostState& Host();
// The profile of a plug-in, loaded on first use.
ProfileStore& ProfileOf(HPI_HANDLE plugin);
// Replaces the module's imported MessageBoxW with the recorder. False when the module
// does not import it.
bool CaptureMessageBoxesOf(HMODULE module);
