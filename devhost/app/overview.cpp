#include "devhost/app/overview.h"

#include <algorithm>
#include <cmath>

#include "mapstore/map_file.h"

namespace {

const int kSurveyFirstLevel = 4;
const int32_t kTileSide = 1 << kOverviewLevels;  // map blocks

// Level in the top bits, then block row and column (a map has at most 2100 block rows
// and 10000 block columns).
uint64_t Key(int level, int32_t blockRow, int32_t blockColumn) {
    return (uint64_t(level) << 56) | (uint64_t(uint32_t(blockRow)) << 28) | uint64_t(uint32_t(blockColumn));
}

}  // namespace

OverviewLevels::OverviewLevels(BlockCache* cache) : cache_(cache) {
    for (int level = 0; level <= kOverviewLevels; ++level) grids_.emplace_back(this, level);
}

void OverviewLevels::Reset(int32_t width, int32_t height, MapBlockReader read, bool hasVoid, int16_t voidValue) {
    cache_->Clear();
    width_ = width;
    height_ = height;
    hasVoid_ = hasVoid;
    void_ = voidValue;
    read_ = std::move(read);
    RestartSurvey();
}

int64_t OverviewLevels::Columns(int level) const { return (int64_t(width_) + (1 << level) - 1) >> level; }
int64_t OverviewLevels::Rows(int level) const { return (int64_t(height_) + (1 << level) - 1) >> level; }

ReliefGrid& OverviewLevels::Grid(int level) { return grids_[std::min(std::max(level, 0), kOverviewLevels)]; }

const int16_t* OverviewLevels::Block(int level, int32_t blockRow, int32_t blockColumn) {
    uint64_t key = Key(level, blockRow, blockColumn);
    int16_t* cached = cache_->Find(key);
    if (cached != nullptr) return cached;
    int16_t* samples = cache_->Insert(key);
    if (level == 0) {
        if (read_) read_(MapBlockCode(blockRow * kMapBlockSide, blockColumn * kMapBlockSide), samples);
        else std::fill(samples, samples + kMapBlockSamples, int16_t(0));
    } else {
        MakeOverviewBlock(level, blockRow, blockColumn, samples);
    }
    return samples;
}

// A map block for making overviews: the cached copy when there is one, else read into
// `scratch` without entering the cache, so a survey of the whole map does not push out
// the blocks views are using.
const int16_t* OverviewLevels::MapBlock(int32_t blockRow, int32_t blockColumn, std::vector<int16_t>* scratch) {
    const int16_t* cached = cache_->Find(Key(0, blockRow, blockColumn));
    if (cached != nullptr) return cached;
    scratch->assign(kMapBlockSamples, 0);
    if (read_) read_(MapBlockCode(blockRow * kMapBlockSide, blockColumn * kMapBlockSide), scratch->data());
    return scratch->data();
}

void OverviewLevels::MakeOverviewBlock(int level, int32_t blockRow, int32_t blockColumn, int16_t* samples) {
    std::fill(samples, samples + kMapBlockSamples, int16_t(0));
    const int32_t span = 1 << level;
    const int32_t mapBlockRows = (height_ + kMapBlockSide - 1) / kMapBlockSide;
    const int32_t mapBlockColumns = (width_ + kMapBlockSide - 1) / kMapBlockSide;
    for (int32_t r = blockRow * span; r < std::min(mapBlockRows, (blockRow + 1) * span); ++r) {
        for (int32_t c = blockColumn * span; c < std::min(mapBlockColumns, (blockColumn + 1) * span); ++c) {
            Reduce(level, r, c, MapBlock(r, c, &scratch_), samples);
        }
    }
}

// Writes the square of a level-`level` block that one map block feeds: each sample the
// mean of its cells inside the map that are not voids, rounded half away from zero; a
// void when every one of them is.
void OverviewLevels::Reduce(int level, int32_t mapBlockRow, int32_t mapBlockColumn, const int16_t* map,
                            int16_t* samples) const {
    const int span = 1 << level;
    const int side = kMapBlockSide / span;
    const int rowsInMap = std::min(kMapBlockSide, height_ - mapBlockRow * kMapBlockSide);
    const int columnsInMap = std::min(kMapBlockSide, width_ - mapBlockColumn * kMapBlockSide);
    const int top = (mapBlockRow % span) * side, left = (mapBlockColumn % span) * side;
    for (int i = 0; i * span < rowsInMap; ++i) {
        for (int j = 0; j * span < columnsInMap; ++j) {
            long sum = 0;
            int count = 0;
            for (int u = i * span; u < std::min(rowsInMap, (i + 1) * span); ++u) {
                const int16_t* line = map + u * kMapBlockSide;
                for (int v = j * span; v < std::min(columnsInMap, (j + 1) * span); ++v) {
                    if (hasVoid_ && line[v] == void_) continue;
                    sum += line[v];
                    ++count;
                }
            }
            samples[(top + i) * kMapBlockSide + left + j] =
                count == 0 ? void_ : static_cast<int16_t>(std::lround(double(sum) / count));
        }
    }
}

void OverviewLevels::BlockChanged(int32_t code) {
    int32_t row = 0, column = 0;
    if (!MapBlockOrigin(code, &row, &column) || row >= height_ || column >= width_) return;
    const int32_t blockRow = row / kMapBlockSide, blockColumn = column / kMapBlockSide;
    cache_->Erase(Key(0, blockRow, blockColumn));
    // A block already reduced into the tile being surveyed: that tile starts again.
    bool surveyed = blockRow / kTileSide == survey_.tileRow && blockColumn / kTileSide == survey_.tileColumn &&
                    (blockRow % kTileSide) * kTileSide + blockColumn % kTileSide < survey_.next;
    if (!survey_.done && surveyed) StartTile();
    bool read = false;
    for (int level = 1; level <= kOverviewLevels; ++level) {
        int16_t* overview = cache_->Find(Key(level, blockRow >> level, blockColumn >> level));
        if (overview == nullptr) continue;
        if (!read) MapBlock(blockRow, blockColumn, &scratch_);
        read = true;
        Reduce(level, blockRow, blockColumn, scratch_.data(), overview);
    }
}

void OverviewLevels::AllChanged() {
    cache_->Clear();
    RestartSurvey();
}

void OverviewLevels::RestartSurvey() {
    survey_ = SurveyState();
    survey_.done = width_ == 0 || height_ == 0;
    if (!survey_.done) StartTile();
}

void OverviewLevels::StartTile() {
    survey_.next = 0;
    survey_.partial.resize(16 + 4 + 1);
    for (std::vector<int16_t>& block : survey_.partial) block.assign(kMapBlockSamples, 0);
}

// Level blocks per tile: 4 x 4 of level 4, 2 x 2 of level 5, one of level 6.
std::vector<int16_t>& OverviewLevels::Partial(int level, int32_t mapBlockRow, int32_t mapBlockColumn) {
    const int32_t side = kTileSide >> level;
    const int32_t first = level == 4 ? 0 : level == 5 ? 16 : 20;
    int32_t row = (mapBlockRow % kTileSide) >> level, column = (mapBlockColumn % kTileSide) >> level;
    return survey_.partial[static_cast<size_t>(first + row * side + column)];
}

// A block made on demand while the tile was surveyed is already complete and current.
void OverviewLevels::FinishTile() {
    for (int level = kSurveyFirstLevel; level <= kOverviewLevels; ++level) {
        const int32_t side = kTileSide >> level;
        for (int32_t r = survey_.tileRow * side; r < (survey_.tileRow + 1) * side; ++r) {
            for (int32_t c = survey_.tileColumn * side; c < (survey_.tileColumn + 1) * side; ++c) {
                if (int64_t(r) * kMapBlockSide >= Rows(level) || int64_t(c) * kMapBlockSide >= Columns(level)) continue;
                uint64_t key = Key(level, r, c);
                if (cache_->Find(key) != nullptr) continue;
                const std::vector<int16_t>& made = Partial(level, r << level, c << level);
                std::copy(made.begin(), made.end(), cache_->Insert(key));
            }
        }
    }
    const int32_t tileColumns = (width_ + kMapBlockSide * kTileSide - 1) / (kMapBlockSide * kTileSide);
    const int32_t tileRows = (height_ + kMapBlockSide * kTileSide - 1) / (kMapBlockSide * kTileSide);
    if (++survey_.tileColumn == tileColumns) {
        survey_.tileColumn = 0;
        ++survey_.tileRow;
    }
    survey_.done = survey_.tileRow == tileRows;
    if (survey_.done) survey_.partial.clear();
    else StartTile();
}

bool OverviewLevels::Survey(int mapBlocks) {
    const int32_t mapBlockRows = (height_ + kMapBlockSide - 1) / kMapBlockSide;
    const int32_t mapBlockColumns = (width_ + kMapBlockSide - 1) / kMapBlockSide;
    while (!survey_.done && mapBlocks > 0) {
        if (survey_.next == kTileSide * kTileSide) {
            FinishTile();
            continue;
        }
        int32_t r = survey_.tileRow * kTileSide + survey_.next / kTileSide;
        int32_t c = survey_.tileColumn * kTileSide + survey_.next % kTileSide;
        ++survey_.next;
        if (r >= mapBlockRows || c >= mapBlockColumns) continue;
        const int16_t* map = MapBlock(r, c, &scratch_);
        for (int level = kSurveyFirstLevel; level <= kOverviewLevels; ++level) {
            Reduce(level, r, c, map, Partial(level, r, c).data());
        }
        --mapBlocks;
    }
    return !survey_.done;
}
