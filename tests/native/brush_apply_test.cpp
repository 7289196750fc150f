#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/block_geometry.h"
#include "engine/brush_kernel.h"

namespace {

struct ApplyRow {
    const char* name;
    int method;
    int strength;
    int target;  // target altitude (altitude + 1)
    int16_t old;
    int16_t weight;
    int16_t expected;
};

TEST(BrushApplyTest, MethodsOnOneSample) {
    const ApplyRow rows[] = {
        {"raise S2 w255 adds 8", 1, 2, 1001, 100, 255, 108},
        {"raise S2 w10 adds nothing", 1, 2, 1001, 100, 10, 100},
        {"raise full adds 1020", 1, 255, 1001, 100, 255, 1120},
        {"raise saturates", 1, 255, 1001, 32000, 255, 32767},
        {"dig to 0", 2, 255, 1001, 500, 255, 0},
        {"dig below 0 gives 0", 2, 255, 1001, -20, 255, 0},
        {"dig partial", 2, 255, 1001, 2000, 128, 2000 - 512},
        {"flatten full weight", 3, 255, 1001, -300, 255, 1001},
        {"flatten 128 from 0", 3, 255, 1001, 0, 128, 502},
        {"flatten 128 from -100", 3, 255, 1001, -100, 128, 452},
        {"flatten to a target above int16 saturates", 3, 255, 40001, 0, 255, 32767},
        {"untouched", 1, 255, 1001, 77, 0, 77},
        {"negative weight is untouched", 1, 255, 1001, 77, -5, 77},
        {"method 0 changes nothing", 0, 255, 1001, 77, 255, 77},
        {"method 4 changes nothing", 4, 255, 1001, 77, 255, 77},
    };
    for (const ApplyRow& row : rows) {
        CBrushKernel kernel;
        kernel.method = row.method;
        kernel.strength = row.strength;
        kernel.targetAltitude = row.target;
        std::vector<int16_t> map(kBlockSamples, 9), stroke(kBlockSamples, 0);
        map[500] = row.old;
        stroke[500] = row.weight;
        kernel.Apply(map.data(), stroke.data());
        EXPECT_EQ(row.expected, map[500]) << row.name;
        bool applies = row.method >= 1 && row.method <= 3;
        EXPECT_EQ(applies ? row.old : row.weight, stroke[500]) << row.name << ": undo copy";
        EXPECT_EQ(9, map[501]) << row.name;
        EXPECT_EQ(applies ? 9 : 0, stroke[501]) << row.name << ": every stroke sample becomes the undo copy";
    }
}

TEST(BrushApplyTest, RaiseAndDigStepsForEveryWeightAndStrength) {
    CBrushKernel kernel;
    std::vector<int16_t> map(kBlockSamples), stroke(kBlockSamples);
    for (int method : {1, 2}) {
        kernel.method = method;
        for (int strength = 0; strength <= 255; ++strength) {
            kernel.strength = strength;
            for (int k = 0; k < kBlockSamples; ++k) {
                map[k] = 2000;
                stroke[k] = static_cast<int16_t>(k % 256);
            }
            kernel.Apply(map.data(), stroke.data());
            for (int w = 0; w <= 255; ++w) {
                int step = (4 * strength * w) / 255;
                ASSERT_EQ(method == 1 ? 2000 + step : std::max(2000 - step, 0), map[w])
                    << "method " << method << " S " << strength << " w " << w;
            }
        }
    }
}

TEST(DivideBy255Test, MatchesIntegerDivision) {
    for (int32_t n = -600000; n <= 600000; ++n) {
        ASSERT_EQ(n / 255, DivideBy255(n)) << n;
    }
    for (int64_t k = -8421504; k <= 8421504; k += 997) {  // multiples of 255 across int32
        for (int64_t delta = -1; delta <= 1; ++delta) {
            int64_t n = k * 255 + delta;
            if (n < INT32_MIN || n > INT32_MAX) continue;
            ASSERT_EQ(n / 255, DivideBy255(static_cast<int32_t>(n))) << n;
        }
    }
    EXPECT_EQ(INT32_MAX / 255, DivideBy255(INT32_MAX));
    EXPECT_EQ(INT32_MIN / 255, DivideBy255(INT32_MIN));
}

}  // namespace
