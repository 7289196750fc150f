// The blocks a map view draws from: the map's own blocks and its overview levels, all
// held in the view's block cache.
//
// Level k (1..kOverviewLevels) has one sample per 2^k x 2^k map cells: the mean of the
// cells of that square that lie inside the map, rounded to the nearest metre. Its blocks
// are 320 x 320 samples like the map's, so one level-k block covers 2^k x 2^k map blocks,
// and, as 2^k divides 320, each map block feeds a square of its own in it. Overview
// blocks are made when a view first needs them, from the map blocks as the view shows
// them, and are kept up to date when a map block changes. They live only in memory: the
// map file is never touched. Between drawings the view surveys the map, a few blocks at
// a time, to make the deepest levels (4 to 6) ahead of need, so the first zoomed-out
// drawing of a large map does not wait for them.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "devhost/app/block_cache.h"
#include "devhost/app/relief.h"

const int kOverviewLevels = 6;

// Fills a map block as the view shows it (display cache, plug-ins, file); zeros when it
// cannot be read.
typedef std::function<void(int32_t code, int16_t* samples)> MapBlockReader;

class OverviewLevels {
public:
    explicit OverviewLevels(BlockCache* cache);
    OverviewLevels(const OverviewLevels&) = delete;
    OverviewLevels& operator=(const OverviewLevels&) = delete;

    // A new map of width x height cells (0 x 0: none); forgets every block. With a void
    // value, an overview sample is the mean of the cells that are not voids, and a void
    // where all of them are.
    void Reset(int32_t width, int32_t height, MapBlockReader read, bool hasVoid = false, int16_t voidValue = 0);
    int64_t Columns(int level) const;
    int64_t Rows(int level) const;
    // A block of a level (0: the map); it stays valid until the cache's frame ends, or,
    // outside a frame, until the next call that may insert.
    const int16_t* Block(int level, int32_t blockRow, int32_t blockColumn);
    // A level as the renderer reads it.
    ReliefGrid& Grid(int level);
    // A map block changed: its copy is dropped and the overview blocks over it are brought
    // up to date. Call outside a frame.
    void BlockChanged(int32_t code);
    // Everything may have changed (the display cache was cleared, a new file state).
    void AllChanged();
    // Reduces up to `mapBlocks` more map blocks into the survey's levels; false once the
    // whole map is done.
    bool Survey(int mapBlocks);

private:
    class LevelGrid : public ReliefGrid {
    public:
        LevelGrid(OverviewLevels* owner, int level) : owner_(owner), level_(level) {}
        int level() const override { return level_; }
        int64_t columns() const override { return owner_->Columns(level_); }
        int64_t rows() const override { return owner_->Rows(level_); }
        const int16_t* Block(int32_t blockRow, int32_t blockColumn) override {
            return owner_->Block(level_, blockRow, blockColumn);
        }

    private:
        OverviewLevels* owner_;
        int level_;
    };

    const int16_t* MapBlock(int32_t blockRow, int32_t blockColumn, std::vector<int16_t>* scratch);
    void MakeOverviewBlock(int level, int32_t blockRow, int32_t blockColumn, int16_t* samples);
    void Reduce(int level, int32_t mapBlockRow, int32_t mapBlockColumn, const int16_t* map, int16_t* samples) const;

    // The survey goes tile by tile, a tile being the map blocks under one level-6 block;
    // a tile's level blocks are built aside and enter the cache when it is complete.
    struct SurveyState {
        int32_t tileRow = 0, tileColumn = 0;
        int32_t next = 0;  // index of the next map block in the tile, row-major
        bool done = false;
        std::vector<std::vector<int16_t>> partial;  // levels 4, 5, 6 of the tile
    };
    void RestartSurvey();
    void StartTile();
    std::vector<int16_t>& Partial(int level, int32_t mapBlockRow, int32_t mapBlockColumn);
    void FinishTile();

    BlockCache* cache_;
    SurveyState survey_;
    int32_t width_ = 0, height_ = 0;
    bool hasVoid_ = false;
    int16_t void_ = 0;
    MapBlockReader read_;
    std::vector<int16_t> scratch_;
    std::vector<LevelGrid> grids_;
};
