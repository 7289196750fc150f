// The editor registry: which maps are being edited, and their editors. Slot i of the
// map-handle table belongs to slot i of the editor table; a map handle of 0 and a null
// editor mark a free slot. At most 10 maps are edited at a time.
#pragma once

#include "host/hpi.h"

class CMapEditor;

const int kMaxEditors = 10;

extern HPI_HANDLE g_editedMaps[kMaxEditors];
extern CMapEditor* g_editors[kMaxEditors];

// Map types 5 and 10 hold editable elevations; no other type gets an editor or has its
// blocks answered.
bool IsEditableMapType(unsigned type);
// Frees every slot without deleting editors; used when the module is attached.
void ClearRegistry();
// Slot 0..9 holding the map, or -1. Map 0 is never found.
int FindEditorSlot(unsigned map);
// The map's editor, or null.
CMapEditor* FindEditor(unsigned map);
// 1 when the map has an editor afterwards. An ineligible map gets the warning message
// on every attempt; a full registry or a failed allocation gives 0 silently.
int EnsureEditor(unsigned map);
// Writes every map block through the host's elevation file writer; 1 saved, 0 not.
int SaveEditor(unsigned map);
// Frees the editor and its blocks, clears the slot and the host's view cache.
void DiscardEditor(unsigned map);

// Editor operations by map handle; nothing happens (and 0) for a map without editor.
int MapSetBrush(unsigned map, int size, int method, int altitude, double strength, double shape);
void MapBeginStroke(unsigned map);
void MapPaintLine(unsigned map, long x0, long y0, long x1, long y1);
void MapCommitStroke(unsigned map);
int MapPushToHost(unsigned map);
int MapRestoreFromStroke(unsigned map);
int MapClearStroke(unsigned map);
