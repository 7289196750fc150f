// devhost's own control interface of hpi.dll: what devhost.exe and the Windows tests use
// to configure the stand-in host and to see what plug-ins registered or showed.
// Not part of the plug-in interface; plug-ins never call these.
#pragma once

#include <windows.h>

#include "host/hpi.h"

struct MapHeader;

enum DhRegistrationKind { kRegisteredMenu = 1, kRegisteredMapHook = 2, kRegisteredViewHook = 3 };

struct DH_REGISTRATION {
    int kind;             // DhRegistrationKind
    HPI_HANDLE plugin;
    unsigned group;       // menus only
    int hasText;          // menus only: 0 for a separator
    char text[128];       // menus only, UTF-8
    HPI_CALLBACK proc;
};

struct DH_MESSAGEBOX {
    HWND owner;
    unsigned type;        // MB_ flags as passed
    wchar_t caption[128];
    wchar_t text[512];
};

extern "C" {

// Forgets registrations and recorded message boxes; keeps version, profile folder
// and main window.
HPI_API void DH_Reset();
HPI_API void DH_SetVersion(int version);
HPI_API void DH_SetMainWnd(HWND window);
// Folder of the per-plug-in profile files ("plugin-<handle>.ini"); created if missing.
HPI_API void DH_SetProfileDir(const char* utf8Path);
HPI_API const char* DH_GetProfilePath(HPI_HANDLE plugin);

HPI_API int DH_RegistrationCount();
HPI_API int DH_GetRegistration(int index, DH_REGISTRATION* out);

// Opens a map file and makes it the active base map; 0 (with the reason in `error`,
// UTF-8, when not null) on failure.
HPI_API HPI_HANDLE DH_OpenMap(const char* utf8Path, char* error, int errorSize);
// The map's header (grid size, georeference, type); 0 for an unknown map.
HPI_API int DH_GetMapHeader(HPI_HANDLE map, MapHeader* header);
// Sends a view event to the view hooks; the first nonzero result, else 0.
HPI_API long DH_SendViewEvent(int event, HPI_HANDLE view, HPI_VIEWEVENT* record);
// Sends event 206 to the map hooks, then forgets the map and its display cache.
HPI_API void DH_CloseMap(HPI_HANDLE map);
// Asks the map hooks: 203 (edits held?), then 202 (save). 1 saved or nothing to save,
// 0 when a plug-in holding edits failed to save or the map is read-only. A map whose
// superseded copies outweigh its live blocks is compacted after the save.
HPI_API int DH_SaveMap(HPI_HANDLE map);
// Saves the map as devhost read it, with the plug-ins' edits, under a new name (UTF-8),
// which it then keeps (a name for the map's own file, however spelled, is a plain save); the file it was read from is left as it is. 1 saved, 0 failed
// (the reason in DH_LastSaveError).
HPI_API int DH_SaveMapAs(HPI_HANDLE map, const char* path);
// 1 when the map's file may not be written; DH_SaveMap then fails, and saving it under
// a new name is the way to keep its edits.
HPI_API int DH_MapIsReadOnly(HPI_HANDLE map);
// 1 when a plug-in holds edits of the map (event 203).
HPI_API int DH_MapEditsHeld(HPI_HANDLE map);
// 1 when a plug-in holds edits and pushed an edit since the map was opened or last saved.
HPI_API int DH_MapHasUnsavedEdits(HPI_HANDLE map);
// Why the last save failed (UTF-8), empty after a successful one. Nothing on disk
// changes when a save fails.
HPI_API const char* DH_LastSaveError();
// What the map file's reader found damaged or torn while opening (UTF-8).
HPI_API int DH_MapWarningCount(HPI_HANDLE map);
HPI_API const char* DH_GetMapWarning(HPI_HANDLE map, int index);
// Sets the active view, its window, zoom and centre.
HPI_API void DH_SetView(HPI_HANDLE view, HWND window, int zoom, GEOPOS center);
// Number of blocks in a map's display cache.
HPI_API int DH_DisplayCacheCount(HPI_HANDLE map);
// Reads a block as the view shows it: display cache, then map hooks (204), then file.
HPI_API int DH_ReadViewBlock(HPI_HANDLE map, int32_t code, short* samples);
// Told when what a view shows of a map changes: code >= 0 for one block (pushed into the
// display cache, or committed by a save), -1 for every block (the display cache was
// cleared). Null: nobody is told.
typedef void (*DH_BLOCKCHANGED)(HPI_HANDLE map, int32_t code);
HPI_API void DH_SetBlockChangeHook(DH_BLOCKCHANGED hook);

// Saves where the map's file system cannot lock it at all (no record locks, as on some
// network mounts): refused unless allowed here, once the user said that no other program
// writes the map meanwhile. A map another program is writing is refused either way.
HPI_API void DH_AllowUnlockedSaves(int allow);
// 1 when the last save failed only because the map could not be locked at all.
HPI_API int DH_LastSaveLockUnavailable();

// Voids, the cells holding a map's void value: an edit a plug-in hands back (display
// cache, save) leaves them void unless painting over voids is on. What one edit (the
// blocks handed back before the plug-in's next HPI_UpdateView) did to voids is tallied.
struct DH_VOIDTALLY {
    long edits;    // edits that touched voids (the session's tally only)
    long touched;  // void cells the edits changed
    long kept;     // of them, kept void
};
HPI_API void DH_SetPaintVoids(int paint);
HPI_API int DH_GetPaintVoids();
// The map's last edit and the session's sum; 0 for an unknown map.
HPI_API int DH_GetVoidTally(HPI_HANDLE map, DH_VOIDTALLY* lastEdit, DH_VOIDTALLY* session);
// Told at the end of each edit of a map with a void value. Null: nobody is told.
typedef void (*DH_VOIDSTOUCHED)(HPI_HANDLE map, const DH_VOIDTALLY* edit);
HPI_API void DH_SetVoidsTouchedHook(DH_VOIDSTOUCHED hook);

// Loads a plug-in module; while capture is on, its message boxes are recorded and
// answered at once instead of being shown.
HPI_API HMODULE DH_LoadPlugin(const wchar_t* path);
// Records the message boxes of an already loaded module (or executable) the same way.
HPI_API int DH_CaptureMessageBoxesOf(HMODULE module);
// Points a loaded module's import of the function `name` (from whichever library) at
// `replacement`; 0 when the module imports no such function. For tests that count or
// fail what a plug-in calls.
HPI_API int DH_PatchImport(HMODULE module, const char* name, void* replacement);
// answer > 0: capture on, every box answers it; answer <= 0: capture off.
HPI_API void DH_CaptureMessageBoxes(int answer);
HPI_API int DH_MessageBoxCount();
HPI_API int DH_GetMessageBox(int index, DH_MESSAGEBOX* out);

}  // extern "C"
