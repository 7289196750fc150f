// Process attach and detach. The static objects (statics.cpp) are constructed before
// DllMain sees the attach and destroyed after it has seen the detach.
#include "frame/module.h"

#include <cstdlib>
#include <ctime>

#include "frame/registry.h"
#include "platform/afx.h"

namespace {

AFX_EXTENSION_MODULE g_extensionModule = {FALSE, nullptr, nullptr};

BOOL OnProcessAttach(HINSTANCE instance) {
    if (!AfxInitExtensionModule(g_extensionModule, instance)) return FALSE;
    // The chain owns the object; AfxTermExtensionModule deletes it. Without it the
    // module's dialogs could not be found, so the load fails.
    if (new (std::nothrow) CDynLinkLibrary(g_extensionModule) == nullptr) {
        AfxTermExtensionModule(g_extensionModule);
        return FALSE;
    }
    ClearRegistry();
    g_moduleHandle = instance;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return OnProcessAttach(instance);
    case DLL_PROCESS_DETACH:
        AfxTermExtensionModule(g_extensionModule);
        return TRUE;
    default:
        return TRUE;
    }
}
