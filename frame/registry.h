// The editor registry: which maps are being edited, and their editors. Slot i of the
// map-handle table belongs to slot i of the editor table; a map handle of 0 and a null
// editor mark a free slot.
#pragma once

#include "host/hpi.h"

class CMapEditor;

const int kMaxEditors = 10;

extern HPI_HANDLE g_editedMaps[kMaxEditors];
extern CMapEditor* g_editors[kMaxEditors];

// Frees every slot without deleting editors; used when the module is attached.
void ClearRegistry();
// Slot 0..9 holding the map, or -1.
int FindEditorSlot(unsigned map);
