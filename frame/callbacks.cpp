// Host events. Each callback only dispatches.
#include "frame/callbacks.h"

#include "engine/stroke_tracker.h"
#include "frame/module.h"
#include "frame/registry.h"

long MenuProc(int, unsigned, intptr_t) {
    // Not wired yet: the palette window is not part of the module so far.
    return 0;
}

long MapHookProc(int, unsigned map, intptr_t) {
    if (FindEditorSlot(map) < 0) return 0;
    // Not wired yet: no editor can be registered before the block store exists.
    return 0;
}

long ViewHookProc(int event, unsigned, intptr_t) {
    switch (event) {
    case kEventViewTracking:
        return g_strokeTracker.IsTracking();
    default:
        return 0;
    }
}
