// Writing a new map block by block: a temporary file beside the target, renamed into
// place when whole.
#include <algorithm>
#include <cstring>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"

using namespace mapfile;

namespace {

// Copies the block at (row0, col0) out of a row-major grid; cells past the edges are 0.
void ExtractBlock(const MapHeader& h, const int16_t* grid, int32_t row0, int32_t col0, int16_t* block) {
    std::memset(block, 0, kMapBlockBytes);
    int32_t rows = std::min(kMapBlockSide, h.height - row0);
    int32_t cols = std::min(kMapBlockSide, h.width - col0);
    for (int32_t r = 0; r < rows; ++r) {
        const int16_t* source = grid + (static_cast<size_t>(row0) + r) * static_cast<size_t>(h.width) + col0;
        std::memcpy(block + static_cast<size_t>(r) * kMapBlockSide, source, cols * sizeof(int16_t));
    }
}

}  // namespace

// The samples of a block as the file keeps them: the cells outside the grid hold 0,
// whatever the caller's copy holds there, so that every stored copy is canonical.
const uint8_t* mapfile::CanonicalStored(const MapHeader& h, int32_t code, const int16_t* samples,
                                       std::vector<int16_t>* edge, std::vector<uint8_t>* scratch) {
    int32_t row0 = 0, col0 = 0;
    MapBlockOrigin(code, &row0, &col0);
    int32_t rows = std::min(kMapBlockSide, h.height - row0);
    int32_t cols = std::min(kMapBlockSide, h.width - col0);
    if (rows == kMapBlockSide && cols == kMapBlockSide) return SamplesAsStored(samples, scratch);
    edge->assign(kMapBlockSamples, 0);
    for (int32_t r = 0; r < rows; ++r) {
        std::memcpy(edge->data() + static_cast<size_t>(r) * kMapBlockSide, samples + static_cast<size_t>(r) * kMapBlockSide,
                    static_cast<size_t>(cols) * sizeof(int16_t));
    }
    return SamplesAsStored(edge->data(), scratch);
}

struct MapFileBuilder::Impl {
    std::FILE* file = nullptr;
    std::string path;
    std::string temporary;
    MapHeader header;
    uint32_t count = 0;
    uint32_t crc = 0;
    bool failed = false;
    std::vector<uint8_t> scratch;
    std::vector<int16_t> edge;
};

MapFileBuilder::MapFileBuilder() = default;

MapFileBuilder::~MapFileBuilder() {
    if (!impl_ || impl_->file == nullptr) return;
    std::fclose(impl_->file);
    RemoveFile(impl_->temporary);
}

bool MapFileBuilder::Begin(const std::string& path, const MapHeader& header, std::string* error) {
    if (impl_) return SetError(error, "a map is already being built"), false;
    MapHeader h = header;
    h.creationBlocks = 0;
    std::string problem = CheckHeaderValues(h);
    if (!problem.empty()) return SetError(error, "cannot create map " + path + ": " + problem), false;
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->header = h;
    // What a writer killed before it finished left beside the map goes first.
    RemoveStaleFilesBeside(path);
    impl->file = CreateFileBeside(path, &impl->temporary, &problem);
    if (impl->file == nullptr) return SetError(error, "cannot create map " + path + ": " + problem), false;
    uint8_t head[kHeaderBytes];
    EncodeHeader(h, head);
    impl_ = std::move(impl);
    if (WriteAll(impl_->file, head, sizeof head)) return true;
    impl_->failed = true;
    return SetError(error, "cannot write map " + path + ": " + LastFileErrorText() +
                               "; any file under its name is left as it was"),
           false;
}

bool MapFileBuilder::Add(int32_t code, const int16_t* samples, std::string* error) {
    if (!impl_ || impl_->file == nullptr) return SetError(error, "no map is being built"), false;
    if (impl_->failed) return SetError(error, "an earlier write of " + impl_->temporary + " failed"), false;
    if (code < 0 || !CodeInGrid(impl_->header, code) || impl_->count == UINT32_MAX) {
        impl_->failed = true;
        return SetError(error, "block code " + std::to_string(code) + " lies outside the map's grid"), false;
    }
    const uint8_t* stored = CanonicalStored(impl_->header, code, samples, &impl_->edge, &impl_->scratch);
    if (!WriteStoredBlockRecord(impl_->file, code, stored, BlockChecksum(code, stored), &impl_->crc)) {
        impl_->failed = true;
        return SetError(error, "cannot write block " + std::to_string(code) + " of map " + impl_->path + ": " +
                                   LastFileErrorText() + "; any file under its name is left as it was"),
               false;
    }
    ++impl_->count;
    return true;
}

// The header is written again last, naming the blocks of the first save, and its copy
// follows the first save's commit record, which carries the void value.
bool MapFileBuilder::Finish(std::string* error) {
    if (!impl_ || impl_->file == nullptr) return SetError(error, "no map is being built"), false;
    Impl& impl = *impl_;
    bool ok = !impl.failed;
    if (ok && impl.count > 0) {
        impl.header.creationBlocks = impl.count;
        uint8_t head[kHeaderBytes];
        EncodeHeader(impl.header, head);
        uint8_t copy[kHeaderCopyBytes];
        EncodeHeaderCopy(impl.header, copy);
        ok = WriteCommit(impl.file, impl.count, kHeaderBytes, impl.crc, EncodeVoidWord(impl.header)) && WriteAll(impl.file, copy, sizeof copy) &&
             SeekTo(impl.file, 0) && WriteAll(impl.file, head, sizeof head);
    }
    ok = ok && FlushToDisk(impl.file);
    std::string why = ok ? std::string() : LastFileErrorText();
    ok = (std::fclose(impl.file) == 0) && ok;
    impl.file = nullptr;
    if (ok && ReplaceFileAtomically(impl.temporary, impl.path)) return true;
    if (why.empty()) why = LastFileErrorText();
    RemoveFile(impl.temporary);
    return SetError(error, "cannot write map file " + impl.path + (why.empty() ? "" : ": " + why) +
                               "; any file under its name was left as it was"),
           false;
}

bool CreateMapFile(const std::string& path, const MapHeader& header, const int16_t* samples,
                   std::string* error) {
    MapFileBuilder builder;
    if (!builder.Begin(path, header, error)) return false;
    if (samples != nullptr) {
        std::vector<int16_t> block(kMapBlockSamples);
        for (int32_t row0 = 0; row0 < header.height; row0 += kMapBlockSide) {
            for (int32_t col0 = 0; col0 < header.width; col0 += kMapBlockSide) {
                ExtractBlock(header, samples, row0, col0, block.data());
                if (!builder.Add(MapBlockCode(row0, col0), block.data(), error)) return false;
            }
        }
    }
    return builder.Finish(error);
}
