// The stand-in host's state inside hpi.dll.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devhost/hpi/devhost_api.h"
#include "mapstore/map_file.h"
#include "devhost/profiles/profile_store.h"

// A map open in the host: its file, the reader of its committed state, the display
// cache of blocks that plug-ins pushed, and the blocks it could not deliver in full
// (code -> reason), which are never written back.
struct OpenMap {
    std::string path;
    MapFileReader reader;
    std::map<int32_t, std::vector<int16_t>> displayCache;
    std::map<int32_t, std::string> undeliverable;
    bool editedSinceSave = false;
    // Blocks whose cached copy kept voids the plug-in changed: what it handed back, so
    // that a later edit counts only the void cells it changes itself.
    std::map<int32_t, std::vector<int16_t>> handedBack;
    bool editOpen = false;  // blocks handed back since the last HPI_UpdateView
    DH_VOIDTALLY pendingVoids = {};
    DH_VOIDTALLY lastEditVoids = {};
    DH_VOIDTALLY sessionVoids = {};
    // The file may not be written (its read-only attribute, or the system refuses): saves
    // are refused before any plug-in is asked.
    bool readOnly = false;
};

struct HostState {
    int version = 800;
    HWND mainWnd = nullptr;
    HINSTANCE resourceModule = nullptr;
    std::string profileDir = "profiles";
    std::vector<DH_REGISTRATION> registrations;
    std::map<HPI_HANDLE, std::unique_ptr<ProfileStore>> profiles;
    std::map<HPI_HANDLE, std::unique_ptr<OpenMap>> maps;
    HPI_HANDLE nextMap = 1;
    HPI_HANDLE activeMap = 0;
    HPI_HANDLE activeView = 0;
    HWND viewWindow = nullptr;
    int zoom = 1;
    GEOPOS viewCenter = {0.0, 0.0};
    // A save in progress; one failed block fails all of it.
    struct Save {
        std::unique_ptr<MapSaveSession> session;
        std::string path;
        std::string failure;
    };
    std::map<HPI_HANDLE, Save> saves;
    HPI_HANDLE nextSave = 1;
    std::string lastSaveError;
    bool paintVoids = false;
    DH_VOIDSTOUCHED voidsTouched = nullptr;
    int messageBoxAnswer = 0;
    std::vector<DH_MESSAGEBOX> messageBoxes;
};

HostState& Host();
// The profile of a plug-in, loaded on first use.
ProfileStore& ProfileOf(HPI_HANDLE plugin);
// The open map with this handle, or null.
OpenMap* FindMap(HPI_HANDLE map);
// Sends an event to every registered map hook; the first nonzero result, else 0.
long SendMapEvent(int event, HPI_HANDLE map, intptr_t param);
// A block a plug-in hands back for the display cache gets the voids of what the cache (or
// else the file) held back, where the edit changed them and painting over voids is off.
void KeepVoidsForCache(OpenMap& map, int32_t code, std::vector<int16_t>* block);
// The samples to save for a handed-back block: `samples`, or `scratch` holding them with
// the voids the display cache kept (or, for a block it lacks, the file's voids unless
// painting over voids is on). Null when there is no memory for the scratch copy.
const short* KeepVoidsForSave(OpenMap* map, int32_t code, const short* samples, std::vector<int16_t>* scratch);
// Ends the edit of every map that had blocks handed back: tallies it and tells the hook.
void EndVoidEdits();
// Replaces the module's imported MessageBoxW with the recorder. False when the module
// does not import it.
bool CaptureMessageBoxesOf(HMODULE module);
