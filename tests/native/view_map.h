// An in-memory map for the view tests: blocks of deterministic terrain, with data in the
// parts of the edge blocks that lie beyond the map, which must never be shown or counted.
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "devhost/app/relief.h"
#include "mapstore/map_file.h"

struct ViewMap {
    int32_t width, height;
    std::map<int32_t, std::vector<int16_t>> blocks;  // by block code

    ViewMap(int32_t w, int32_t h) : width(w), height(h) {
        for (int32_t row = 0; row < h; row += kMapBlockSide) {
            for (int32_t column = 0; column < w; column += kMapBlockSide) {
                std::vector<int16_t>& block = blocks[MapBlockCode(row, column)];
                block.resize(kMapBlockSamples);
                for (int i = 0; i < kMapBlockSamples; ++i) {
                    int r = row + i / kMapBlockSide, c = column + i % kMapBlockSide;
                    bool inside = r < h && c < w;
                    block[i] = inside ? Terrain(c, r) : int16_t(30000);
                }
            }
        }
    }

    // Hills, a sea, a cliff and rough ground: every colour band and steep slopes.
    static int16_t Terrain(int c, int r) {
        double hills = 900 * std::sin(c * 0.031) * std::cos(r * 0.027) + 600;
        int rough = ((c * 7919 + r * 104729) % 61) - 30;
        int cliff = c > 150 && c < 160 ? 2500 : 0;
        return static_cast<int16_t>(hills + rough + cliff - (r > 300 ? 700 : 0));
    }

    int16_t At(int64_t c, int64_t r) const {
        const std::vector<int16_t>& block = blocks.at(MapBlockCode(int32_t(r), int32_t(c)));
        return block[(r % kMapBlockSide) * kMapBlockSide + c % kMapBlockSide];
    }

    void Set(int64_t c, int64_t r, int16_t value) {
        blocks.at(MapBlockCode(int32_t(r), int32_t(c)))[(r % kMapBlockSide) * kMapBlockSide + c % kMapBlockSide] = value;
    }

    // The mean of the level's square of cells inside the map, rounded half away from zero.
    int16_t Mean(int level, int64_t c, int64_t r) const {
        long sum = 0, count = 0;
        for (int64_t y = r << level; y < std::min<int64_t>(height, (r + 1) << level); ++y) {
            for (int64_t x = c << level; x < std::min<int64_t>(width, (c + 1) << level); ++x, ++count) sum += At(x, y);
        }
        return static_cast<int16_t>(std::lround(double(sum) / count));
    }
};
