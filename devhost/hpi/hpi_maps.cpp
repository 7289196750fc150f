// Maps, views, block reads, the display cache and the elevation file writer.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "devhost/hpi/host_state.h"
#include "devhost/hpi/mesh_cell.h"
#include "mapstore/map_compaction.h"
#include "host/hpi_win.h"
#include "host/utf8_win.h"

namespace {

const double kMetresPerDegreeLat = 110574.0;
const double kMetresPerDegreeLonAtEquator = 111320.0;
const double kPi = 3.14159265358979323846;

DH_BLOCKCHANGED g_blockChanged = nullptr;
// Blocks appended by each open save session, told to the view once the save commits.
std::map<HPI_HANDLE, std::vector<int32_t>> g_appended;

void TellBlockChanged(HPI_HANDLE map, int32_t code) {
    if (g_blockChanged != nullptr) g_blockChanged(map, code);
}

void TellSaved(const std::string& path, const std::vector<int32_t>& codes) {
    for (auto& entry : Host().maps) {
        if (entry.second->path != path) continue;
        for (int32_t code : codes) TellBlockChanged(entry.first, code);
    }
}

void CopyError(const std::string& text, char* error, int errorSize) {
    if (error == nullptr || errorSize <= 0) return;
    std::snprintf(error, static_cast<size_t>(errorSize), "%s", text.c_str());
}

// Reads a block from the map's file; zeros (and 0) when it cannot. A block that could not
// be read in full is remembered, so that it is never saved back.
int ReadFromFile(OpenMap& map, int32_t code, short* samples) {
    std::string error;
    if (map.reader.ReadBlock(code, samples, &error)) return 1;
    std::fprintf(stderr, "devhost: %s\n", error.c_str());
    map.undeliverable.emplace(code, error);
    return 0;
}

// The first open map of this file, whose reader a save can continue; or null.
OpenMap* MapOfFile(const std::string& path) {
    for (auto& entry : Host().maps) {
        if (entry.second->path == path) return entry.second.get();
    }
    return nullptr;
}

// After a save the readers of that file see the new committed state: the reader the save
// continued takes it in, any other reads the file again.
void ReopenMapsOf(const std::string& path, const MapSaveSession& save) {
    for (auto& entry : Host().maps) {
        OpenMap& map = *entry.second;
        if (map.path != path) continue;
        map.editedSinceSave = false;
        std::string error;
        if (!map.reader.TakeSave(save) && !map.reader.Open(map.path, &error)) {
            std::fprintf(stderr, "devhost: reopening %s: %s\n", map.path.c_str(), error.c_str());
        }
    }
}

// Whether a block is what devhost delivers for a block it could not read: all zeros.
bool AsDelivered(const short* samples) {
    for (int k = 0; k < kMapBlockSamples; ++k) {
        if (samples[k] != 0) return false;
    }
    return true;
}

// Why the block may not be saved to this file, or empty.
std::string UndeliverableReason(const std::string& path, int32_t code) {
    for (auto& entry : Host().maps) {
        const OpenMap& map = *entry.second;
        if (map.path != path) continue;
        auto found = map.undeliverable.find(code);
        if (found != map.undeliverable.end()) return found->second;
    }
    return std::string();
}

// Appends the block with the voids devhost keeps; false (and why) when it cannot.
bool AppendKeepingVoids(HostState::Save& save, int32_t code, const short* samples, std::string* error) {
    std::vector<int16_t> scratch;
    const short* kept = KeepVoidsForSave(MapOfFile(save.path), code, samples, &scratch);
    if (kept == nullptr) {
        *error = "there is not memory enough to keep the map's voids in block " + std::to_string(code);
        return false;
    }
    return save.session->Append(code, kept, error);
}

// A map whose superseded copies outweigh its live blocks is compacted after a save. Every
// reader of the file lets go of it for the rename and reads the file under the name
// afterwards: the new one, or the old one when the compaction was left alone.
void CompactAfterSave(const OpenMap& saved) {
    const std::string path = saved.path;
    std::vector<OpenMap*> readers;
    for (auto& entry : Host().maps) {
        if (entry.second->path != path) continue;
        if (!entry.second->undeliverable.empty()) return;
        readers.push_back(entry.second.get());
    }
    bool released = false;
    auto release = [&] {
        for (OpenMap* map : readers) map->reader = MapFileReader();
        released = true;
    };
    std::string reason;
    CompactionOutcome outcome = CompactWastefulMap(path, saved.reader, release, &reason);
    if (outcome == CompactionOutcome::kCompacted) std::printf("compacted %s\n", path.c_str());
    if (outcome == CompactionOutcome::kLeftAlone) {
        std::fprintf(stderr, "devhost: %s is saved; it was not compacted: %s\n", path.c_str(), reason.c_str());
    }
    if (!released) return;
    for (OpenMap* map : readers) {
        std::string error;
        if (!map->reader.Open(path, &error)) std::fprintf(stderr, "devhost: reopening %s: %s\n", path.c_str(), error.c_str());
    }
}

// Windows keeps a read-only file unwritten even for an administrator, so the attribute
// counts as much as a refusal to open the file for writing.
bool IsReadOnlyFile(const std::string& path) {
    std::wstring wide = Widen(path);
    DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return true;
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) return ::CloseHandle(file), false;
    DWORD error = ::GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

// Whether two names lead to one file (another spelling, a link).
bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string* names[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE file = ::CreateFileW(Widen(*names[i]).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        bool read = ::GetFileInformationByHandle(file, &info[i]) != 0;
        ::CloseHandle(file);
        if (!read) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

}  // namespace

OpenMap* FindMap(HPI_HANDLE map) {
    auto found = Host().maps.find(map);
    return found != Host().maps.end() ? found->second.get() : nullptr;
}

long SendMapEvent(int event, HPI_HANDLE map, intptr_t param) {
    // Copied: a hook may register or unregister while it runs.
    std::vector<DH_REGISTRATION> hooks = Host().registrations;
    for (const DH_REGISTRATION& hook : hooks) {
        if (hook.kind != kRegisteredMapHook || hook.proc == nullptr) continue;
        long result = hook.proc(event, map, param);
        if (result != 0) return result;
    }
    return 0;
}

extern "C" {

HPI_HANDLE HPI_GetActiveBaseMap() { return Host().activeMap; }
HPI_HANDLE HPI_GetActiveView() { return Host().activeView; }
int HPI_IsOpenedMap(HPI_HANDLE map) { return FindMap(map) != nullptr; }

unsigned HPI_GetMapType(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    return open != nullptr ? open->reader.header().mapType : 0;
}

int HPI_IsMAT(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    return open != nullptr && open->reader.header().mat != 0;
}

const char* HPI_GetMapFile(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    return open != nullptr ? open->path.c_str() : nullptr;
}

HPI_HANDLE HPI_OpenAppendEvm(const char* path, int count) {
    if (path == nullptr || count < 0) return 0;
    auto session = std::make_unique<MapSaveSession>();
    std::string error;
    OpenMap* open = MapOfFile(path);
    if (!(open != nullptr ? session->Begin(path, open->reader, &error) : session->Begin(path, &error))) {
        Host().lastSaveError = error;
        std::fprintf(stderr, "devhost: cannot save %s: %s\n", path, error.c_str());
        return 0;
    }
    HostState& host = Host();
    HPI_HANDLE handle = host.nextSave++;
    host.saves[handle] = HostState::Save{std::move(session), path};
    return handle;
}

// A block devhost could not read in full would overwrite the real one with what it
// filled in; the save fails instead. Given back exactly as delivered (all zeros, as a
// failed read leaves it: the plug-in held it but the stroke on it was undone), there is
// nothing of the user's in it, and the block is left out of the save.
unsigned HPI_AppendBlockEvm(HPI_HANDLE file, int blockId, short* samples) {
    auto found = Host().saves.find(file);
    if (found == Host().saves.end() || samples == nullptr) return 1;
    HostState::Save& save = found->second;
    if (!save.failure.empty()) return 1;
    int32_t code = blockId / 100;
    std::string error;
    if (blockId < 0 || blockId % 100 != 0) {
        error = "block identifier " + std::to_string(blockId) + " names no block";
    } else if (std::string reason = UndeliverableReason(save.path, code); !reason.empty()) {
        if (AsDelivered(samples)) return 0;
        error = "block " + std::to_string(code) + " was never read in full, so it is not written back (" +
                reason + "); to keep the other edits, undo the stroke on block " + std::to_string(code) +
                " and save again, or save them under a new name (名前を付けて保存)";
    } else if (AppendKeepingVoids(save, code, samples, &error)) {
        g_appended[file].push_back(code);
        return 0;
    }
    save.failure = error;
    std::fprintf(stderr, "devhost: cannot save block %d: %s\n", code, error.c_str());
    return 1;
}

// All or nothing: after a failed block nothing of the save is committed.
unsigned HPI_CloseEvm(HPI_HANDLE file) {
    auto found = Host().saves.find(file);
    if (found == Host().saves.end()) return 1;
    std::unique_ptr<MapSaveSession> session = std::move(found->second.session);
    std::string path = found->second.path;
    std::string error = found->second.failure;
    Host().saves.erase(found);
    bool committed = error.empty() && session->Commit(&error);
    std::vector<int32_t> appended = std::move(g_appended[file]);
    g_appended.erase(file);
    if (!committed) {
        session.reset();
        Host().lastSaveError = error;
        std::fprintf(stderr, "devhost: %s was not saved; nothing on disk changed: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    ReopenMapsOf(path, *session);
    TellSaved(path, appended);
    return 0;
}

void HPI_ClearViewCache(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    if (open != nullptr) open->displayCache.clear();
    if (open != nullptr) open->handedBack.clear();
    if (open != nullptr) TellBlockChanged(map, -1);
    if (Host().viewWindow != nullptr) ::InvalidateRect(Host().viewWindow, nullptr, FALSE);
}

int HPI_GetMapBlock(HPI_HANDLE map, long blockId, short* samples, unsigned source) {
    OpenMap* open = FindMap(map);
    if (samples == nullptr) return 0;
    if (open == nullptr || blockId < 0 || blockId % 100 != 0) {
        std::memset(samples, 0, kMapBlockBytes);
        return 0;
    }
    if (source != kGetBlockFromFile) {
        HPI_BLOCKREQUEST request = {static_cast<int32_t>(open->reader.header().mapType),
                                    static_cast<int32_t>(blockId), samples};
        if (SendMapEvent(kEventMapBlockRequest, map, reinterpret_cast<intptr_t>(&request)) == 1) return 1;
    }
    return ReadFromFile(*open, static_cast<int32_t>(blockId / 100), samples);
}

void HPI_ReplaceCache(HPI_HANDLE map, long blockId, short* samples) {
    OpenMap* open = FindMap(map);
    if (open == nullptr || samples == nullptr || blockId < 0 || blockId % 100 != 0) return;
    // Without memory for the copy the block leaves the cache, and the view asks the
    // plug-ins for it instead: what they hold is what was pushed.
    const int32_t code = static_cast<int32_t>(blockId / 100);
    try {
        std::vector<int16_t> block(samples, samples + kMapBlockSamples);
        KeepVoidsForCache(*open, code, &block);
        open->displayCache[code] = std::move(block);
    } catch (const std::bad_alloc&) {
        open->displayCache.erase(code);
        open->handedBack.erase(code);
    }
    open->editedSinceSave = true;
    TellBlockChanged(map, static_cast<int32_t>(blockId / 100));
}

// A plug-in shows each edit once it has handed back its blocks: the edit ends here.
void HPI_UpdateView(HPI_HANDLE view, unsigned) {
    EndVoidEdits();
    HostState& host = Host();
    if (view == host.activeView && host.viewWindow != nullptr) {
        ::InvalidateRect(host.viewWindow, nullptr, FALSE);
        ::UpdateWindow(host.viewWindow);
    }
}

HWND HPI_GetHwnd(HPI_HANDLE view) { return view == Host().activeView ? Host().viewWindow : nullptr; }

int HPI_GetZoomView(HPI_HANDLE view) { return view == Host().activeView ? Host().zoom : 1; }

// Mesh cells are counted from the map's north-west corner; a position west or north of
// it gives negative coordinates. The cell is the one the map view names (MeshCellOf).
void HPI_PosToMesh(HPI_HANDLE map, GEOPOS pos, long* x, long* y) {
    OpenMap* open = FindMap(map);
    long column = 0, row = 0;
    if (open != nullptr) {
        const MapHeader& header = open->reader.header();
        const double limit = 2147483647.0;
        double c = std::fmax(-limit, std::fmin(limit, (pos.lon - header.originLon) / header.cellLon));
        double r = std::fmax(-limit, std::fmin(limit, (header.originLat - pos.lat) / header.cellLat));
        column = static_cast<long>(devhost::MeshCellOf(c));
        row = static_cast<long>(devhost::MeshCellOf(r));
    }
    if (x != nullptr) *x = column;
    if (y != nullptr) *y = row;
}

void HPI_GetViewCenter(HPI_HANDLE view, GEOPOS* pos) {
    if (pos != nullptr) *pos = view == Host().activeView ? Host().viewCenter : GEOPOS{0.0, 0.0};
}

// East-west extent shrinks with the cosine of the latitude.
HPI_SIZE HPI_GetMeshSize(HPI_HANDLE map, double lat) {
    OpenMap* open = FindMap(map);
    if (open == nullptr) return HPI_SIZE{0, 0};
    const MapHeader& header = open->reader.header();
    double cx = header.cellLon * kMetresPerDegreeLonAtEquator * std::cos(lat * kPi / 180.0);
    double cy = header.cellLat * kMetresPerDegreeLat;
    return HPI_SIZE{static_cast<int32_t>(std::fabs(cx)), static_cast<int32_t>(cy)};
}

int HPI_Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return 0;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 1;
}

HPI_HANDLE DH_OpenMap(const char* utf8Path, char* error, int errorSize) {
    if (utf8Path == nullptr) return 0;
    auto map = std::make_unique<OpenMap>();
    map->path = utf8Path;
    std::string reason;
    if (!map->reader.Open(map->path, &reason)) {
        CopyError(reason, error, errorSize);
        return 0;
    }
    map->readOnly = IsReadOnlyFile(map->path);
    HostState& host = Host();
    HPI_HANDLE handle = host.nextMap++;
    host.maps.emplace(handle, std::move(map));
    host.activeMap = handle;
    return handle;
}

int DH_GetMapHeader(HPI_HANDLE map, MapHeader* header) {
    OpenMap* open = FindMap(map);
    if (open == nullptr || header == nullptr) return 0;
    *header = open->reader.header();
    return 1;
}

long DH_SendViewEvent(int event, HPI_HANDLE view, HPI_VIEWEVENT* record) {
    std::vector<DH_REGISTRATION> hooks = Host().registrations;
    for (const DH_REGISTRATION& hook : hooks) {
        if (hook.kind != kRegisteredViewHook || hook.proc == nullptr) continue;
        long result = hook.proc(event, view, reinterpret_cast<intptr_t>(record));
        if (result != 0) return result;
    }
    return 0;
}

void DH_CloseMap(HPI_HANDLE map) {
    if (FindMap(map) == nullptr) return;
    SendMapEvent(kEventMapClosing, map, 0);
    HostState& host = Host();
    host.maps.erase(map);
    if (host.activeMap == map) host.activeMap = 0;
}

int DH_SaveMap(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    if (open == nullptr) return 0;
    Host().lastSaveError.clear();
    if (SendMapEvent(kEventMapEditsHeld, map, 0) == 0) {
        open->editedSinceSave = false;
        return 1;
    }
    if (open->readOnly) {
        Host().lastSaveError = "map file " + open->path + " is read-only; nothing was written";
        return 0;
    }
    if (SendMapEvent(kEventMapSave, map, 0) != 1) {
        if (Host().lastSaveError.empty()) Host().lastSaveError = "the plug-in holding the edits did not save them";
        return 0;
    }
    open->editedSinceSave = false;
    CompactAfterSave(*open);
    return 1;
}

int DH_SaveMapAs(HPI_HANDLE map, const char* path) {
    OpenMap* open = FindMap(map);
    if (open == nullptr || path == nullptr || *path == 0) return 0;
    if (open->path == path || SameFile(open->path, path)) return DH_SaveMap(map);
    std::string error;
    if (!open->reader.CopyCommittedTo(path, &error)) {
        Host().lastSaveError = error;
        std::fprintf(stderr, "devhost: cannot save as %s: %s\n", path, error.c_str());
        return 0;
    }
    // From here on the map is the copy: the plug-in's save goes there, the original stays
    // as it is. The copy holds the same records, so the same blocks are undeliverable.
    MapFileReader copy;
    if (!copy.Open(path, &error)) {
        Host().lastSaveError = "the copy " + std::string(path) + " cannot be read back: " + error;
        return 0;
    }
    open->path = path;
    open->reader = std::move(copy);
    open->readOnly = IsReadOnlyFile(path);
    return DH_SaveMap(map);
}

int DH_MapIsReadOnly(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    return open != nullptr && open->readOnly;
}

int DH_MapEditsHeld(HPI_HANDLE map) {
    return FindMap(map) != nullptr && SendMapEvent(kEventMapEditsHeld, map, 0) != 0;
}

int DH_MapHasUnsavedEdits(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    return open != nullptr && open->editedSinceSave && DH_MapEditsHeld(map);
}

const char* DH_LastSaveError() { return Host().lastSaveError.c_str(); }

void DH_AllowUnlockedSaves(int allow) { AllowUnlockedWrites(allow != 0); }

int DH_LastSaveLockUnavailable() { return IsLockUnavailableError(Host().lastSaveError) ? 1 : 0; }

int DH_MapWarningCount(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    return open != nullptr ? static_cast<int>(open->reader.warnings().size()) : 0;
}

const char* DH_GetMapWarning(HPI_HANDLE map, int index) {
    OpenMap* open = FindMap(map);
    if (open == nullptr || index < 0 || index >= static_cast<int>(open->reader.warnings().size())) return nullptr;
    return open->reader.warnings()[static_cast<size_t>(index)].c_str();
}

void DH_SetView(HPI_HANDLE view, HWND window, int zoom, GEOPOS center) {
    HostState& host = Host();
    host.activeView = view;
    host.viewWindow = window;
    host.zoom = zoom == 0 ? 1 : zoom;
    host.viewCenter = center;
}

int DH_DisplayCacheCount(HPI_HANDLE map) {
    OpenMap* open = FindMap(map);
    return open != nullptr ? static_cast<int>(open->displayCache.size()) : 0;
}

int DH_ReadViewBlock(HPI_HANDLE map, int32_t code, short* samples) {
    OpenMap* open = FindMap(map);
    if (open == nullptr || samples == nullptr || code < 0) return 0;
    auto cached = open->displayCache.find(code);
    if (cached != open->displayCache.end()) {
        std::memcpy(samples, cached->second.data(), kMapBlockBytes);
        return 1;
    }
    return HPI_GetMapBlock(map, static_cast<long>(code) * 100, samples, 0);
}

void DH_SetBlockChangeHook(DH_BLOCKCHANGED hook) { g_blockChanged = hook; }

}  // extern "C"
