// Host events. Each callback only dispatches.
#include "module/callbacks.h"

#include "engine/map_editor.h"
#include "frame/stroke_tracker.h"
#include "frame/generation_guard.h"
#include "frame/registry.h"
#include "module/statics.h"
#include "palette/brush_settings.h"

namespace {

long OnEditsHeld(unsigned map) {
    CMapEditor* editor = FindEditor(map);
    return editor != nullptr && editor->MapBlockCount() > 0 ? 1 : 0;
}

// Only editable map types are answered; the block code is the identifier / 100.
long OnBlockRequest(unsigned map, intptr_t param) {
    CMapEditor* editor = FindEditor(map);
    auto* request = reinterpret_cast<HPI_BLOCKREQUEST*>(param);
    if (editor == nullptr || request == nullptr) return 0;
    if (!IsEditableMapType(request->mapType)) return 0;
    return editor->CopyBlockOut(BlockCodeOfId(request->blockId), request->samples);
}

// The map being generated keeps its editor until the generation has ended.
long OnMapClosing(unsigned map) {
    if (DeferDiscardWhileGenerating(map)) return 0;
    if (FindEditor(map) != nullptr) DiscardEditor(map);
    return 0;
}

// A press starts a stroke whenever a painting method is chosen, even if the stroke is
// then refused: the press is the plug-in's either way. While a generation runs, presses
// are left to the host.
long OnViewPress(unsigned view, const HPI_VIEWEVENT* event) {
    if (IsGenerating()) return 0;
    if (!g_brushSettings.IsPainting()) return 0;
    const StrokeBrush brush = {g_brushSettings.method, g_brushSettings.size, g_brushSettings.altitude,
                               g_brushSettings.strength, g_brushSettings.shape};
    g_strokeTracker.Begin(view, event->pos, event->x, event->y, brush);
    return 1;
}

long OnViewRelease(const HPI_VIEWEVENT* event) {
    if (g_strokeTracker.IsTracking()) g_strokeTracker.End(event->pos, event->x, event->y);
    return 0;
}

long OnViewMove(const HPI_VIEWEVENT* event) {
    if (g_strokeTracker.IsTracking()) g_strokeTracker.Move(event->pos, event->x, event->y);
    return 0;
}

long DispatchMapEvent(int event, unsigned map, intptr_t param) {
    if (FindEditorSlot(map) < 0) return 0;
    switch (event) {
    case kEventMapSave:
        return FindEditor(map) != nullptr ? SaveEditor(map) : 0;
    case kEventMapEditsHeld:
        return OnEditsHeld(map);
    case kEventMapBlockRequest:
        return OnBlockRequest(map, param);
    case kEventMapClosing:
        return OnMapClosing(map);
    default:
        return 0;
    }
}

long DispatchViewEvent(int event, unsigned view, intptr_t param) {
    const auto* record = reinterpret_cast<const HPI_VIEWEVENT*>(param);
    switch (event) {
    case kEventViewPress:
        return record != nullptr ? OnViewPress(view, record) : 0;
    case kEventViewRelease:
        return record != nullptr ? OnViewRelease(record) : 0;
    case kEventViewMove:
        return record != nullptr ? OnViewMove(record) : 0;
    case kEventViewTracking:
        return g_strokeTracker.IsTracking();
    default:
        return 0;
    }
}

}  // namespace

// The module is built without exceptions and allocates nothing that could throw, so
// nothing unwinds into the host from here.
long MenuProc(int event, unsigned, intptr_t) {
    if (event == kEventMenuChosen) g_brushSettings.OpenPalette();
    return 0;
}

long MapHookProc(int event, unsigned map, intptr_t param) { return DispatchMapEvent(event, map, param); }

long ViewHookProc(int event, unsigned view, intptr_t param) { return DispatchViewEvent(event, view, param); }
