// The three static objects. Their definitions stay in this one file, in this order, so
// that construction follows it and teardown runs the other way round.
#include <cstring>

#include "engine/brush_kernel.h"
#include "frame/stroke_tracker.h"
#include "module/statics.h"
#include "palette/brush_settings.h"

namespace {

// Zero-initialised before any constructor runs, so the notes below can write to it
// whatever the order; names that would not fit are left out.
char g_constructionLog[64];

}  // namespace

void NoteStaticConstruction(const char* className) {
    size_t used = std::strlen(g_constructionLog);
    size_t needed = (used > 0 ? 1 : 0) + std::strlen(className);
    if (used + needed >= sizeof g_constructionLog) return;
    if (used > 0) g_constructionLog[used++] = ' ';
    std::strcpy(g_constructionLog + used, className);
}

const char* StaticConstructionOrder() { return g_constructionLog; }

// Each note runs right after the object above it has been constructed.
CStrokeTracker g_strokeTracker;
static const bool g_trackerNoted = (NoteStaticConstruction("CStrokeTracker"), true);
CBrushKernel g_brushKernel;
static const bool g_kernelNoted = (NoteStaticConstruction("CBrushKernel"), true);
CBrushSettings g_brushSettings;
static const bool g_settingsNoted = (NoteStaticConstruction("CBrushSettings"), true);
