#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "engine/block_geometry.h"
#include "engine/brush_kernel.h"
#include "engine/brush_lanes.h"

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

// The forms Apply may run, each checked against ApplyPlain on copies of the same blocks.
struct ApplyForm {
    const char* name;
    void (*apply)(const CBrushKernel& kernel, int16_t* map, int16_t* stroke);
    bool available;
};

const ApplyForm kApplyForms[] = {
    {"Apply", [](const CBrushKernel& k, int16_t* m, int16_t* s) { k.Apply(m, s); }, true},
    {"SSE2", [](const CBrushKernel& k, int16_t* m, int16_t* s) {
         ApplyWithSse2(ApplyParams{k.method, k.strength, k.targetAltitude}, m, s, kBlockSamples); }, true},
    {"AVX2", [](const CBrushKernel& k, int16_t* m, int16_t* s) {
         ApplyWithAvx2(ApplyParams{k.method, k.strength, k.targetAltitude}, m, s, kBlockSamples); }, CpuHasAvx2()},
};

// Runs every available form whose parameters it covers on the blocks and compares both
// blocks with the plain form's; false after the first difference.
bool FormsMatchPlain(const CBrushKernel& kernel, const std::vector<int16_t>& map, const std::vector<int16_t>& stroke) {
    std::vector<int16_t> plainMap = map, plainStroke = stroke;
    kernel.ApplyPlain(plainMap.data(), plainStroke.data());
    bool lanes = LanesHandle(ApplyParams{kernel.method, kernel.strength, kernel.targetAltitude});
    for (const ApplyForm& form : kApplyForms) {
        if (!form.available || (!lanes && form.apply != kApplyForms[0].apply)) continue;
        std::vector<int16_t> m = map, s = stroke;
        form.apply(kernel, m.data(), s.data());
        for (int k = 0; k < kBlockSamples; ++k) {
            if (m[k] != plainMap[k] || s[k] != plainStroke[k]) {
                ADD_FAILURE() << form.name << " method " << kernel.method << " S " << kernel.strength << " A "
                              << kernel.targetAltitude << " at " << k << ": old " << map[k] << " w " << stroke[k]
                              << " gives " << m[k] << "/" << s[k] << ", plain " << plainMap[k] << "/" << plainStroke[k];
                return false;
            }
        }
    }
    return true;
}

// Raise and dig: strengths across 0..255 with both ends, and in each block every int16
// weight against old samples drawn from the whole range and from near both ends.
TEST(BrushApplyLanesTest, RaiseAndDigMatchPlainForEveryStrengthAndWeight) {
    if (!CpuHasAvx2()) std::printf("no AVX2 on this CPU: its form is not checked\n");
    std::mt19937 random(7);
    std::vector<int16_t> map(kBlockSamples), stroke(kBlockSamples);
    CBrushKernel kernel;
    for (int method : {1, 2}) {
        kernel.method = method;
        for (int strength = 0; strength <= 255; strength += strength < 250 ? 7 : 1) {
            kernel.strength = strength;
            for (int k = 0; k < kBlockSamples; ++k) {
                stroke[k] = static_cast<int16_t>(k % 65536 - 32768);
                int edge = static_cast<int>(random() % 2048);
                map[k] = static_cast<int16_t>(k % 3 == 0 ? 32767 - edge : k % 3 == 1 ? -32768 + edge : int(random() % 65536) - 32768);
            }
            ASSERT_TRUE(FormsMatchPlain(kernel, map, stroke));
        }
    }
}

// Flatten: targets across int16 and beyond it (where Apply falls back to the plain form),
// weights mostly 1..255 with some outside, old samples over the whole range.
TEST(BrushApplyLanesTest, FlattenMatchesPlainAcrossTargets) {
    const int32_t targets[] = {INT16_MIN, INT16_MIN + 1, -20000, -1001, -1, 0, 1, 1001, 9999, 20000,
                               INT16_MAX - 1, INT16_MAX, INT16_MAX + 1, 40001, -8000001, INT_MAX, INT_MIN};
    std::mt19937 random(11);
    std::vector<int16_t> map(kBlockSamples), stroke(kBlockSamples);
    CBrushKernel kernel;
    kernel.method = 3;
    for (int32_t target : targets) {
        kernel.targetAltitude = target;
        for (int k = 0; k < kBlockSamples; ++k) {
            map[k] = static_cast<int16_t>(k % 2 == 0 ? k % 65536 - 32768 : int(random() % 65536) - 32768);
            int draw = static_cast<int>(random() % 1000);
            stroke[k] = static_cast<int16_t>(draw < 990 ? k % 256 : draw < 995 ? 256 + draw : -draw);
        }
        ASSERT_TRUE(FormsMatchPlain(kernel, map, stroke)) << "target " << target;
    }
    for (int method : {0, 4, -1}) {  // methods that change nothing
        kernel.method = method;
        ASSERT_TRUE(FormsMatchPlain(kernel, map, stroke)) << "method " << method;
    }
}

// Every weight 1..255 against every old sample, for targets at both ends of int16 and
// between: the quotients the flatten division meets at the ends of its range.
TEST(BrushApplyLanesTest, FlattenMatchesPlainForEveryWeightAndOldSample) {
    std::vector<int16_t> map(kBlockSamples), stroke(kBlockSamples);
    CBrushKernel kernel;
    kernel.method = 3;
    for (int32_t target : {INT16_MIN, -1, INT16_MAX}) {
        for (int first = 0; first < 65536 * 255; first += kBlockSamples) {
            for (int k = 0; k < kBlockSamples; ++k) {
                int pair = first + k;
                map[k] = static_cast<int16_t>(pair % 65536 - 32768);
                stroke[k] = static_cast<int16_t>(1 + (pair / 65536) % 255);
            }
            kernel.targetAltitude = target;
            ASSERT_TRUE(FormsMatchPlain(kernel, map, stroke)) << "target " << target;
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
