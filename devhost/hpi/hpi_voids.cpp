// Voids in what plug-ins hand back: the host owns the map's data, and a void stays void
// unless the user chose to paint over voids. Plug-ins see voids as ordinary samples.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "devhost/hpi/host_state.h"

namespace {

// Rows and columns of the block that lie inside the map's grid.
void InsideExtent(const MapHeader& header, int32_t code, int* rows, int* columns) {
    int32_t row0 = 0, column0 = 0;
    MapBlockOrigin(code, &row0, &column0);
    *rows = std::max(0, std::min(kMapBlockSide, header.height - row0));
    *columns = std::max(0, std::min(kMapBlockSide, header.width - column0));
}

// The file's block, or false when it cannot be read (then nothing of it is known).
bool FileBlock(const OpenMap& map, int32_t code, std::vector<int16_t>* block) {
    block->resize(kMapBlockSamples);
    std::string error;
    return map.reader.ReadBlock(code, block->data(), &error);
}

void Add(DH_VOIDTALLY* sum, const DH_VOIDTALLY& part) {
    sum->touched += part.touched;
    sum->kept += part.kept;
}

// The display cache holds every edited block with the voids already decided, so a block
// it holds follows it; one it lacks (its copy could not be made) follows the file.
const short* KeptInSave(OpenMap& map, int32_t code, const short* samples, std::vector<int16_t>* scratch) {
    const MapHeader& header = map.reader.header();
    const int16_t voidValue = header.voidValue;
    std::vector<int16_t> fileBlock;
    auto cached = map.displayCache.find(code);
    const int16_t* base = nullptr;
    if (cached != map.displayCache.end()) {
        base = cached->second.data();
    } else if (!Host().paintVoids && FileBlock(map, code, &fileBlock)) {
        base = fileBlock.data();
    } else {
        return samples;
    }
    scratch->assign(samples, samples + kMapBlockSamples);
    int rows = 0, columns = 0;
    InsideExtent(header, code, &rows, &columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const size_t i = static_cast<size_t>(r) * kMapBlockSide + c;
            if (base[i] == voidValue) (*scratch)[i] = voidValue;
        }
    }
    return scratch->data();
}

}  // namespace

// A void cell counts as touched when the plug-in's sample there differs from what it
// handed back before (or, before that, from the void value): a cell an earlier edit
// changed and devhost kept void is not counted again by every later edit of the block.
void KeepVoidsForCache(OpenMap& map, int32_t code, std::vector<int16_t>* block) {
    const MapHeader& header = map.reader.header();
    map.editOpen = true;
    if (!header.hasVoidValue) return;
    std::vector<int16_t> fileBlock;
    auto cached = map.displayCache.find(code);
    const int16_t* base = nullptr;
    if (cached != map.displayCache.end()) {
        base = cached->second.data();
    } else if (FileBlock(map, code, &fileBlock)) {
        base = fileBlock.data();
    } else {
        return;
    }
    auto earlier = map.handedBack.find(code);
    const int16_t* previous = earlier != map.handedBack.end() ? earlier->second.data() : nullptr;
    std::vector<int16_t> raw(*block);
    const int16_t voidValue = header.voidValue;
    const bool paint = Host().paintVoids;
    bool keptAny = false;
    int rows = 0, columns = 0;
    InsideExtent(header, code, &rows, &columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const size_t i = static_cast<size_t>(r) * kMapBlockSide + c;
            if (base[i] != voidValue || raw[i] == voidValue) continue;
            const bool touched = previous == nullptr || raw[i] != previous[i];
            if (touched) ++map.pendingVoids.touched;
            if (touched && paint) continue;
            if (touched) ++map.pendingVoids.kept;
            (*block)[i] = voidValue;
            keptAny = true;
        }
    }
    if (keptAny) {
        map.handedBack[code] = std::move(raw);
    } else if (earlier != map.handedBack.end()) {
        map.handedBack.erase(earlier);
    }
}

const short* KeepVoidsForSave(OpenMap* map, int32_t code, const short* samples, std::vector<int16_t>* scratch) {
    if (map == nullptr || !map->reader.header().hasVoidValue) return samples;
    try {
        return KeptInSave(*map, code, samples, scratch);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void EndVoidEdits() {
    for (auto& entry : Host().maps) {
        OpenMap& map = *entry.second;
        if (!map.editOpen) continue;
        map.editOpen = false;
        if (!map.reader.header().hasVoidValue) continue;
        map.lastEditVoids = map.pendingVoids;
        map.pendingVoids = DH_VOIDTALLY{};
        Add(&map.sessionVoids, map.lastEditVoids);
        if (map.lastEditVoids.touched > 0) ++map.sessionVoids.edits;
        if (Host().voidsTouched != nullptr) Host().voidsTouched(entry.first, &map.lastEditVoids);
    }
}

extern "C" {

void DH_SetPaintVoids(int paint) { Host().paintVoids = paint != 0; }
int DH_GetPaintVoids() { return Host().paintVoids ? 1 : 0; }

int DH_GetVoidTally(HPI_HANDLE map, DH_VOIDTALLY* lastEdit, DH_VOIDTALLY* session) {
    OpenMap* open = FindMap(map);
    if (open == nullptr) return 0;
    if (lastEdit != nullptr) *lastEdit = open->lastEditVoids;
    if (session != nullptr) *session = open->sessionVoids;
    return 1;
}

void DH_SetVoidsTouchedHook(DH_VOIDSTOUCHED hook) { Host().voidsTouched = hook; }

}  // extern "C"
