#include "frame/registry.h"

#include <windows.h>

#include "engine/allocation.h"
#include "engine/brush_kernel.h"
#include "engine/map_editor.h"
#include "frame/module.h"

HPI_HANDLE g_editedMaps[kMaxEditors];
CMapEditor* g_editors[kMaxEditors];

namespace {

const wchar_t kIneligibleMapMessage[] =
    L"地図が開かれていないか,DCM(圧縮地図)形式の地図ではありません.";
const unsigned kEditableMapTypes[] = {5, 10};

// Open, of an editable type and not MAT, tested in this order.
bool IsEligible(unsigned map) {
    if (HPI_IsOpenedMap(map) == 0) return false;
    if (!IsEditableMapType(HPI_GetMapType(map))) return false;
    return HPI_IsMAT(map) == 0;
}

// Appends every map block in list order; a failed append closes the file.
int WriteBlocks(HPI_HANDLE file, CMapEditor& editor) {
    for (int i = 0; i < editor.MapBlockCount(); ++i) {
        MapBlock* block = const_cast<MapBlock*>(editor.MapBlockAt(i));
        if (HPI_AppendBlockEvm(file, BlockIdOf(block->code), block->samples) != 0) {
            HPI_CloseEvm(file);
            return 0;
        }
    }
    HPI_CloseEvm(file);
    return 1;
}

}  // namespace

bool IsEditableMapType(unsigned type) {
    for (unsigned editable : kEditableMapTypes) {
        if (type == editable) return true;
    }
    return false;
}

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

CMapEditor* FindEditor(unsigned map) {
    int slot = FindEditorSlot(map);
    return slot < 0 ? nullptr : g_editors[slot];
}

int EnsureEditor(unsigned map) {
    if (FindEditorSlot(map) >= 0) return 1;
    if (!IsEligible(map)) {
        ShowPluginMessage(kIneligibleMapMessage, MB_ICONWARNING);
        return 0;
    }
    for (int slot = 0; slot < kMaxEditors; ++slot) {
        if (g_editors[slot] != nullptr) continue;
        CMapEditor* editor = AllocateObject<CMapEditor>();
        if (editor == nullptr) return 0;
        g_editors[slot] = editor;
        editor->SetMap(map);
        g_editedMaps[slot] = map;
        return 1;
    }
    return 0;
}

int SaveEditor(unsigned map) {
    CMapEditor* editor = FindEditor(map);
    if (editor == nullptr) return 0;
    HPI_HANDLE file = HPI_OpenAppendEvm(HPI_GetMapFile(map), editor->MapBlockCount());
    if (file == 0) return 0;
    return WriteBlocks(file, *editor);
}

void DiscardEditor(unsigned map) {
    int slot = FindEditorSlot(map);
    if (slot < 0) return;
    if (g_editors[slot] != nullptr) {
        g_editors[slot]->FreeAll();
        FreeObject(g_editors[slot]);
    }
    g_editors[slot] = nullptr;
    g_editedMaps[slot] = 0;
    HPI_ClearViewCache(map);
}

int MapSetBrush(unsigned map, int size, int method, int altitude, double strength, double shape) {
    CMapEditor* editor = FindEditor(map);
    if (editor == nullptr) return 0;
    if (!g_brushKernel.Build(size, method, altitude, strength, shape)) return 0;
    editor->SetBrush(&g_brushKernel);
    return 1;
}

void MapBeginStroke(unsigned map) {
    if (CMapEditor* editor = FindEditor(map)) editor->BeginStroke();
}

void MapPaintLine(unsigned map, long x0, long y0, long x1, long y1) {
    if (CMapEditor* editor = FindEditor(map)) editor->PaintLine(x0, y0, x1, y1);
}

void MapCommitStroke(unsigned map) {
    if (CMapEditor* editor = FindEditor(map)) editor->CommitStroke();
}

int MapPushToHost(unsigned map) {
    CMapEditor* editor = FindEditor(map);
    if (editor == nullptr) return 0;
    editor->PushToHost();
    return 1;
}

int MapRestoreFromStroke(unsigned map) {
    CMapEditor* editor = FindEditor(map);
    if (editor == nullptr) return 0;
    editor->RestoreFromStroke();
    return 1;
}

int MapClearStroke(unsigned map) {
    CMapEditor* editor = FindEditor(map);
    if (editor == nullptr) return 0;
    editor->ClearStroke();
    return 1;
}
