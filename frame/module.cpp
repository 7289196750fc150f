// The module-wide values and the plug-in's message box.
#include "frame/module.h"

#include "host/hpi_win.h"

namespace {
const wchar_t kMessageCaption[] = L"地形エディタ";
}  // namespace

HINSTANCE g_moduleHandle = nullptr;
HPI_HANDLE g_pluginHandle = 0;

int ShowPluginMessage(const wchar_t* text, unsigned iconFlags) {
    return ::MessageBoxW(HPI_GetMainWnd(), text, kMessageCaption, MB_OK | iconFlags);
}
