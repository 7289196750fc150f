// The module's static objects, created at load in this order and torn down in reverse:
// the stroke tracker, the brush kernel (declared in frame/module.h, which the lower layers
// share) and the brush settings.
#pragma once

#include "frame/module.h"

class CStrokeTracker;
class CBrushSettings;

extern CStrokeTracker g_strokeTracker;
extern CBrushSettings g_brushSettings;

// Class names of the static objects in the order they were constructed, space separated.
const char* StaticConstructionOrder();
void NoteStaticConstruction(const char* className);
