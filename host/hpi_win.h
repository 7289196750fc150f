// The HPI_ functions that take or return window types. Windows build only.
#pragma once

#include <windows.h>

#include "host/hpi.h"

static_assert(sizeof(HPI_SIZE) == sizeof(SIZE), "HPI_SIZE is the host's SIZE");
static_assert(sizeof(intptr_t) == sizeof(LPARAM), "callback parameter is an LPARAM");

extern "C" {

HPI_API HINSTANCE HPI_GetResourceHandle();
HPI_API void HPI_SetResourceHandle(HINSTANCE module);
HPI_API HWND HPI_GetMainWnd();
HPI_API HWND HPI_GetHwnd(HPI_HANDLE view);

}  // extern "C"
