// Init, Close, About and Release: the module as the host sees it.
#include <cstring>

#include "module/callbacks.h"
#include "module/exports.h"
#include "module/statics.h"
#include "host/hpi_win.h"
#include "palette/brush_settings.h"
#include "palette/zolva_palette.h"

namespace {

const int kOldestRefusedHost = 600;
const char kPluginName[] = "Terrain Editor Plugin";
const char kPluginVersion[] = "1.0";
const char kMenuText[] = "地形エディタ";
const wchar_t kOldHostMessage[] =
    L"Zolva.qpl\nBravoneのバージョンが古いためこのプラグインは使用できません.";
const wchar_t kAboutMessage[] = L"Zolva.qpl\n地形エディタプラグイン 1.0  Zolva 開発チーム";

// Writes only the text and its NUL, so the bytes after it stay as the host left them.
void CopyField(char* field, const char* text) { std::memcpy(field, text, std::strlen(text) + 1); }

void FillInformation(HPI_PLUGININFO* info) {
    info->size = sizeof(HPI_PLUGININFO);
    CopyField(info->name, kPluginName);
    CopyField(info->version, kPluginVersion);
    CopyField(info->extra, "");
}

}  // namespace

extern "C" int Init(HPI_PLUGININFO* info, unsigned pluginHandle) {
    g_pluginHandle = pluginHandle;
    if (HPI_GetVersion() <= kOldestRefusedHost) {
        ShowPluginMessage(kOldHostMessage, MB_ICONINFORMATION);
        return 0;
    }
    if (info != nullptr) FillInformation(info);
    HPI_AddMenu(g_pluginHandle, kMenuGroupTools, nullptr, nullptr);
    HPI_AddMenu(g_pluginHandle, kMenuGroupTools, kMenuText, MenuProc);
    HPI_AddMapHook(g_pluginHandle, MapHookProc);
    HPI_AddViewHook(g_pluginHandle, ViewHookProc);
    return 1;
}

extern "C" int Close() {
    CZolvaPalette* palette = g_brushSettings.palette;
    if (palette != nullptr && palette->IsLive()) palette->DestroyWindow();
    return 1;
}

extern "C" int About() { return ShowPluginMessage(kAboutMessage, MB_ICONINFORMATION); }

extern "C" void Release() {}
