#include "engine/block_geometry.h"

#include <gtest/gtest.h>

namespace {

TEST(BlockCodeTest, KnownPoints) {
    const struct {
        int64_t row, col, code;
    } rows[] = {
        {0, 0, 0},
        {319, 319, 0},
        {320, 0, 100},
        {0, 320, 1},
        {640, 960, 203},
        {31999, 31999, 9999},
        {32000, 0, 1000000},
        {0, 32000, 10000},
        {100000, 200000, 3061225},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.code, BlockCodeOf(row.row, row.col)) << "row " << row.row << " col " << row.col;
    }
    EXPECT_EQ(20300, BlockIdOf(203));
    EXPECT_EQ(203, BlockCodeOfId(20399)) << "the identifier's remainder is dropped";
}

TEST(BlockCodeTest, EverySampleOfABlockGivesItsCodeAndADistinctIndex) {
    const struct {
        int64_t row0, col0;
    } blocks[] = {{0, 0}, {640, 960}, {31680, 31680}, {32000, 32000}, {99840, 199680}};
    for (const auto& block : blocks) {
        int64_t expected = BlockCodeOf(block.row0, block.col0);
        std::vector<bool> seen(kBlockSamples, false);
        for (int64_t r = block.row0; r < block.row0 + kBlockSide; ++r) {
            for (int64_t c = block.col0; c < block.col0 + kBlockSide; ++c) {
                ASSERT_EQ(expected, BlockCodeOf(r, c)) << "row " << r << " col " << c;
                int32_t index = SampleIndexOf(r, c);
                ASSERT_FALSE(seen[index]) << "index " << index << " used twice";
                seen[index] = true;
            }
        }
    }
}

TEST(LocateSampleTest, IndexAndRefusals) {
    int32_t code = -7, index = -7;
    ASSERT_TRUE(LocateSample(970, 650, &code, &index));
    EXPECT_EQ(203, code);
    EXPECT_EQ(3210, index);

    const struct {
        int64_t col, row;
    } refused[] = {{-1, 0}, {0, -1}, {-320, -320}, {0, 672000}, {0, 704000}, {3200000, 0}, {INT32_MAX, INT32_MAX}};
    for (const auto& point : refused) {
        code = -7;
        index = -7;
        EXPECT_FALSE(LocateSample(point.col, point.row, &code, &index)) << point.col << "," << point.row;
        EXPECT_EQ(-7, code) << "nothing is written for a refused point";
    }
    ASSERT_TRUE(LocateSample(3199999, 671999, &code, &index)) << "the last addressable sample";
    EXPECT_LE(static_cast<int64_t>(code) * 100, INT32_MAX);
}

}  // namespace
