#include "maptools/map_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>


namespace {

// Copies the block whose first column is col0 out of a row of blocks; cells past the
// map's edges are 0.
void ExtractBlock(const MapHeader& h, const int16_t* rows, int32_t rowCount, int32_t col0, int16_t* block) {
    std::memset(block, 0, kMapBlockBytes);
    int32_t cols = std::min(kMapBlockSide, h.width - col0);
    for (int32_t r = 0; r < rowCount; ++r) {
        std::memcpy(block + static_cast<size_t>(r) * kMapBlockSide, rows + static_cast<size_t>(r) * h.width + col0,
                    static_cast<size_t>(cols) * sizeof(int16_t));
    }
}

}  // namespace

int32_t BlockRowHeight(const MapHeader& header, int32_t row0) {
    return std::min(kMapBlockSide, header.height - row0);
}

bool MapStreamWriter::Lock(const std::string& path, std::string* error) { return lock_.Acquire(path, error); }

bool MapStreamWriter::Begin(const std::string& path, const MapHeader& header, std::string* error) {
    if (!Lock(path, error)) return false;
    header_ = header;
    builder_ = std::make_unique<MapFileBuilder>();
    block_.assign(kMapBlockSamples, 0);
    if (builder_->Begin(path, header, error)) return true;
    builder_.reset();
    return false;
}

bool MapStreamWriter::AppendBlock(int32_t code, const int16_t* samples, std::string* error) {
    if (builder_ == nullptr) return *error = "no map is being written", false;
    return builder_->Add(code, samples, error);
}

bool MapStreamWriter::AppendBlockRow(int32_t row0, const int16_t* rows, std::string* error) {
    int32_t rowCount = BlockRowHeight(header_, row0);
    for (int32_t col0 = 0; col0 < header_.width; col0 += kMapBlockSide) {
        ExtractBlock(header_, rows, rowCount, col0, block_.data());
        if (!AppendBlock(MapBlockCode(row0, col0), block_.data(), error)) return false;
    }
    return true;
}

bool MapStreamWriter::Finish(std::string* error) {
    if (builder_ == nullptr) return *error = "no map is being written", false;
    bool finished = builder_->Finish(error);
    builder_.reset();
    return finished;
}

bool ReadBlockRow(const MapFileReader& reader, int32_t row0, int16_t* rows, std::string* error) {
    const MapHeader& h = reader.header();
    int32_t rowCount = BlockRowHeight(h, row0);
    std::vector<int16_t> block(kMapBlockSamples);
    for (int32_t col0 = 0; col0 < h.width; col0 += kMapBlockSide) {
        if (!reader.ReadBlock(MapBlockCode(row0, col0), block.data(), error)) return false;
        int32_t cols = std::min(kMapBlockSide, h.width - col0);
        for (int32_t r = 0; r < rowCount; ++r) {
            std::memcpy(rows + static_cast<size_t>(r) * h.width + col0, block.data() + static_cast<size_t>(r) * kMapBlockSide,
                        static_cast<size_t>(cols) * sizeof(int16_t));
        }
    }
    return true;
}
