#include "frame/registry.h"

HPI_HANDLE g_editedMaps[kMaxEditors];
CMapEditor* g_editors[kMaxEditors];

void ClearRegistry() {
    for (int slot = 0; slot < kMaxEditors; ++slot) {
        g_editedMaps[slot] = 0;
        g_editors[slot] = nullptr;
    }
}

// A free slot holds 0, so map 0 (no map) must not match one.
int FindEditorSlot(unsigned map) {
    if (map == 0) return -1;
    for (int slot = 0; slot < kMaxEditors; ++slot) {
        if (g_editedMaps[slot] == map) return slot;
    }
    return -1;
}
