// The three static objects. Their definitions stay in this one file, in this order, so
// that construction follows it and teardown runs the other way round.
#include <string>

#include "engine/brush_kernel.h"
#include "frame/stroke_tracker.h"
#include "module/statics.h"
#include "palette/brush_settings.h"

namespace {

std::string& ConstructionLog() {
    static std::string log;
    return log;
}

}  // namespace

void NoteStaticConstruction(const char* className) {
    std::string& log = ConstructionLog();
    if (!log.empty()) log += ' ';
    log += className;
}

const char* StaticConstructionOrder() { return ConstructionLog().c_str(); }

// Each note runs right after the object above it has been constructed.
CStrokeTracker g_strokeTracker;
static const bool g_trackerNoted = (NoteStaticConstruction("CStrokeTracker"), true);
CBrushKernel g_brushKernel;
static const bool g_kernelNoted = (NoteStaticConstruction("CBrushKernel"), true);
CBrushSettings g_brushSettings;
static const bool g_settingsNoted = (NoteStaticConstruction("CBrushSettings"), true);
