// devhost's own control interface of hpi.dll: what devhost.exe and the Windows tests use
// to configure the stand-in host and to see what plug-ins registered or showed.
// Not part of the plug-in interface; plug-ins never call these.
#pragma once

#include <windows.h>

#include "host/hpi.h"

enum DhRegistrationKind { kRegisteredMenu = 1, kRegisteredMapHook = 2, kRegisteredViewHook = 3 };

struct DH_REGISTRATION {
    int kind;             // DhRegistrationKind
    HPI_HANDLE plugin;
    unsigned group;       // menus only
    int hasText;          // menus only: 0 for a separator
    char text[128];       // menus only, UTF-8
    HPI_CALLBACK proc;
};

struct DH_MESSAGEBOX {
    HWND owner;
    unsigned type;        // MB_ flags as passed
    wchar_t caption[128];
    wchar_t text[512];
};

extern "C" {

// Forgets registrations and recorded message boxes; keeps version, profile folder
// and main window.
HPI_API void DH_Reset();
HPI_API void DH_SetVersion(int version);
HPI_API void DH_SetMainWnd(HWND window);
// Folder of the per-plug-in profile files ("plugin-<handle>.ini"); created if missing.
HPI_API void DH_SetProfileDir(const char* utf8Path);
HPI_API const char* DH_GetProfilePath(HPI_HANDLE plugin);

HPI_API int DH_RegistrationCount();
HPI_API int DH_GetRegistration(int index, DH_REGISTRATION* out);

// Loads a plug-in module; while capture is on, its message boxes are recorded and
// answered at once instead of being shown.
HPI_API HMODULE DH_LoadPlugin(const wchar_t* path);
// answer > 0: capture on, every box answers it; answer <= 0: capture off.
HPI_API void DH_CaptureMessageBoxes(int answer);
HPI_API int DH_MessageBoxCount();
HPI_API int DH_GetMessageBox(int index, DH_MESSAGEBOX* out);

}  // extern "C"
