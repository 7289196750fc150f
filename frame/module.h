// Module-wide values that the plug-in's layers build on: the module and plug-in handles,
// the brush kernel every stroke uses, and the plug-in's message box.
#pragma once

#include <windows.h>

#include "host/hpi.h"

class CBrushKernel;

// The module's own instance handle, stored at process attach.
extern HINSTANCE g_moduleHandle;
// The handle the host gave to Init; keys every profile value.
extern HPI_HANDLE g_pluginHandle;
// One of the module's static objects (module/statics.cpp), rebuilt for each stroke.
extern CBrushKernel g_brushKernel;

// Shows a message box owned by the host's main window and returns its result.
int ShowPluginMessage(const wchar_t* text, unsigned iconFlags);
