// Module-wide values and the three static objects of the plug-in.
#pragma once

#include <windows.h>

#include "host/hpi.h"

class CStrokeTracker;
class CBrushKernel;
class CBrushSettings;

// The module's own instance handle, stored at process attach.
extern HINSTANCE g_moduleHandle;
// The handle the host gave to Init; keys every profile value.
extern HPI_HANDLE g_pluginHandle;

// Created at module load in this order and torn down in reverse.
extern CStrokeTracker g_strokeTracker;
extern CBrushKernel g_brushKernel;
extern CBrushSettings g_brushSettings;

// Class names of the static objects in the order they were constructed, space separated.
const char* StaticConstructionOrder();
void NoteStaticConstruction(const char* className);

// Shows a message box owned by the host's main window and returns its result.
int ShowPluginMessage(const wchar_t* text, unsigned iconFlags);
