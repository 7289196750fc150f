#include "generator/terrain_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "engine/map_editor.h"
#include "host/perlin.h"
#include "tests/native/fake_host.h"

namespace {

// Records what the synthesis did with its window; aborts once asked to after N pumps.
class FakeProgress : public GenerationProgress {
public:
    void Open() override { ++opens; }
    void SetPos(int percent) override { positions.push_back(percent); }
    void Pump() override { ++pumps; }
    bool Aborted() const override { return abortAfterPumps > 0 && pumps >= abortAfterPumps; }
    void Close() override { ++closes; }

    std::vector<int> positions;
    int pumps = 0;
    int opens = 0;
    int closes = 0;
    int abortAfterPumps = 0;
};

int g_budget = -1;
int g_calls = 0;
int g_failingCall = 0;  // this allocation (counted from 1) fails; 0: none
MapBlock* Budgeted() {
    if (++g_calls == g_failingCall) return nullptr;
    if (g_budget == 0) return nullptr;
    if (g_budget > 0) --g_budget;
    return new (std::nothrow) MapBlock;
}
void Release(MapBlock* block) { delete block; }

class GeneratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheFakeHost().Reset();
        g_budget = -1;
        g_calls = 0;
        g_failingCall = 0;
        SetMapBlockAllocator(Budgeted, Release);
        editor_.SetMap(3);
    }
    void TearDown() override {
        editor_.FreeAll();
        SetMapBlockAllocator(nullptr, nullptr);
    }

    std::vector<int32_t> StrokeCodes() const {
        std::vector<int32_t> codes;
        for (int i = 0; i < editor_.StrokeBlockCount(); ++i) codes.push_back(editor_.StrokeBlockAt(i)->code);
        return codes;
    }
    // Map sample at a mesh point, loading as the editor would.
    int Sample(int column, int row) {
        return editor_.FindOrLoadBlock(static_cast<int32_t>(BlockCodeOf(row, column)))[SampleIndexOf(row, column)];
    }

    CTerrainGenerator generator_;
    CMapEditor editor_;
    FakeProgress progress_;
};

TEST_F(GeneratorTest, NonPositiveDistGeneratesNothingButEmptiesTheUndoCopy) {
    for (int dist : {0, -5, INT_MIN}) {
        editor_.FindOrCreateStrokeBlock(0)[0] = 200;
        generator_.Dist = dist;
        EXPECT_EQ(1, generator_.Generate(editor_, 500, 500, progress_)) << dist;
        EXPECT_EQ(0, editor_.StrokeBlockCount()) << dist;
        EXPECT_EQ(0, editor_.MapBlockCount()) << dist;
    }
}

TEST_F(GeneratorTest, ProgressAfterEveryTenthRowNeverReachingAHundred) {
    generator_.Dist = 160;
    ASSERT_EQ(1, generator_.Generate(editor_, 480, 480, progress_));
    std::vector<int> expected = {0};
    for (int k = 0; k <= 310; k += 10) expected.push_back(100 * k / 321);
    EXPECT_EQ(expected, progress_.positions);
    EXPECT_EQ(96, progress_.positions.back());
    EXPECT_EQ(32, progress_.pumps);
    EXPECT_EQ(1, progress_.opens);
    EXPECT_EQ(1, progress_.closes);
}

TEST_F(GeneratorTest, SquareCoversOneTwoOrFourBlocks) {
    const struct {
        int column, row;
        std::vector<int32_t> codes;
    } rows[] = {
        {480, 480, {101}},
        {320, 480, {100, 101}},
        {480, 320, {1, 101}},
        {400, 400, {0, 1, 100, 101}},
    };
    generator_.Dist = 160;
    for (const auto& row : rows) {
        editor_.FreeAll();
        ASSERT_EQ(1, generator_.Generate(editor_, row.column, row.row, progress_));
        EXPECT_EQ(row.codes, StrokeCodes()) << row.column << "," << row.row;
        EXPECT_EQ(static_cast<int>(row.codes.size()), editor_.MapBlockCount());
    }
}

TEST_F(GeneratorTest, ReplaceStaysInTheBandAndUndoRestoresExactly) {
    generator_.Dist = 40;
    generator_.MinAlt = -1000;
    generator_.MaxAlt = 3000;
    ASSERT_EQ(1, generator_.Generate(editor_, 100, 100, progress_));
    int lowest = INT_MAX, highest = INT_MIN;
    for (int r = 60; r < 140; ++r) {
        for (int c = 60; c < 140; ++c) {
            lowest = std::min(lowest, Sample(c, r));
            highest = std::max(highest, Sample(c, r));
        }
    }
    EXPECT_GE(lowest, 0) << "generated altitudes below 0 arrive as 0";
    EXPECT_LE(highest, 3000);
    EXPECT_GT(highest, lowest + 100) << "the field has relief";
    EXPECT_EQ(FakeHostSample(0, 59 * 320 + 59), Sample(59, 59)) << "outside the square";
    editor_.RestoreFromStroke();
    for (int r = 55; r < 145; ++r) {
        for (int c = 55; c < 145; ++c) ASSERT_EQ(FakeHostSample(0, r * 320 + c), Sample(c, r)) << c << "," << r;
    }
}

TEST_F(GeneratorTest, AbortAfterTheFirstTenRowsBlendsExactlyTheRowsDone) {
    generator_.Dist = 50;
    progress_.abortAfterPumps = 2;  // the pump after row k = 10
    ASSERT_EQ(1, generator_.Generate(editor_, 100, 100, progress_));
    EXPECT_EQ(2, progress_.pumps);
    for (int r = 50; r <= 60; ++r) EXPECT_NE(FakeHostSample(0, r * 320 + 70), Sample(70, r)) << r;
    for (int r = 61; r < 150; ++r) ASSERT_EQ(FakeHostSample(0, r * 320 + 70), Sample(70, r)) << r;
}

TEST_F(GeneratorTest, AllocationFailureStopsBlendsTheRowsDoneAndReports) {
    generator_.Dist = 160;
    // Rows 240..559 of columns 320..639: block 1, then block 101 from row 320 on, whose
    // stroke block is the allocation that fails.
    g_failingCall = 2;
    EXPECT_EQ(0, generator_.Generate(editor_, 480, 400, progress_));
    ASSERT_EQ((std::vector<int32_t>{1}), StrokeCodes());
    EXPECT_EQ(1, progress_.closes);
    EXPECT_NE(FakeHostSample(100, 300 * 320 + 80), Sample(400, 300)) << "rows before the failure are blended";
    EXPECT_EQ(FakeHostSample(10100, 10 * 320 + 80), Sample(400, 330)) << "rows after it are not generated";
}

TEST_F(GeneratorTest, SquareAtTheOriginAndHugeDistStayInsideTheMesh) {
    generator_.Dist = 30;
    ASSERT_EQ(1, generator_.Generate(editor_, 5, 5, progress_));
    EXPECT_EQ((std::vector<int32_t>{0}), StrokeCodes());
    editor_.FreeAll();
    generator_.Dist = INT_MAX;
    g_budget = 3;
    EXPECT_EQ(0, generator_.Generate(editor_, 0, 0, progress_)) << "stops when memory runs out";
    EXPECT_LE(editor_.StrokeBlockCount(), 3);
}

// A blend method that blends nothing generates nothing: the map stays as it was and there
// is nothing to undo that could write generated altitudes into it.
TEST_F(GeneratorTest, AMethodThatBlendsNothingLeavesNothingToUndo) {
    for (int method : {0, 4, -1}) {
        editor_.FreeAll();
        generator_.Method = method;
        generator_.Dist = 40;
        EXPECT_EQ(1, generator_.Generate(editor_, 100, 100, progress_)) << method;
        EXPECT_EQ(0, editor_.StrokeBlockCount()) << method;
        editor_.RestoreFromStroke();
        EXPECT_EQ(FakeHostSample(0, 100 * 320 + 100), Sample(100, 100)) << method;
    }
}

// Whatever is stored or typed, one generation touches a bounded square.
TEST_F(GeneratorTest, TheRangeIsBounded) {
    for (int stored : {99999, INT_MAX}) {
        FakeProfile()["Gen_Dist"] = stored;
        CTerrainGenerator loaded;
        loaded.LoadProfile(kFakePluginHandle);
        EXPECT_EQ(kMaxGenerationDist, loaded.Dist) << stored;
    }
    FakeProfile().clear();
    EXPECT_EQ(-7, BoundGenerationDist(-7));
    EXPECT_EQ(INT_MIN, BoundGenerationDist(int64_t(INT_MIN) - 5));
    generator_.Dist = INT_MAX;
    progress_.abortAfterPumps = 1;  // the first row only
    ASSERT_EQ(1, generator_.Generate(editor_, 20000, 20000, progress_));
    std::vector<int32_t> codes = StrokeCodes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(BlockCodeOf(20000 - kMaxGenerationDist, 20000 - kMaxGenerationDist), codes.front());
    EXPECT_EQ(BlockCodeOf(20000 - kMaxGenerationDist, 20000 + kMaxGenerationDist - 1), codes.back());
}

MapBlock* ExhaustedAllocate() { return nullptr; }

TEST_F(GeneratorTest, AnExhaustedAllocatorStopsTheGenerationWithAFailure) {
    SetMapBlockAllocator(ExhaustedAllocate, Release);
    generator_.Dist = 40;
    EXPECT_EQ(0, generator_.Generate(editor_, 100, 100, progress_));
    EXPECT_EQ(0, editor_.StrokeBlockCount());
}

struct BlendRow {
    const char* name;
    int method;
    int16_t map, stroke, expectedMap;
};

TEST(GeneratorBlendTest, Methods) {
    const BlendRow rows[] = {
        {"add", 1, 100, 51, 150},
        {"add altitude 0", 1, 100, 1, 100},
        {"add saturates", 1, 32000, 2001, 32767},
        {"subtract", 2, 100, 51, 50},
        {"subtract stops at 0", 2, 100, 501, 0},
        {"subtract altitude 0 from a negative", 2, -40, 1, 0},
        {"subtract altitude 0", 2, 40, 1, 40},
        {"replace", 3, 100, 778, 777},
        {"replace with 0", 3, -5, 1, 0},
        {"untouched", 3, 100, 0, 100},
        {"method 0", 0, 100, 51, 100},
        {"method 4", 4, 100, 51, 100},
    };
    for (const BlendRow& row : rows) {
        CTerrainGenerator generator;
        generator.Method = row.method;
        std::vector<int16_t> map(kBlockSamples, 7), stroke(kBlockSamples, 0);
        map[9] = row.map;
        stroke[9] = row.stroke;
        generator.Blend(map.data(), stroke.data());
        EXPECT_EQ(row.expectedMap, map[9]) << row.name;
        bool applies = row.method >= 1 && row.method <= 3;
        EXPECT_EQ(applies ? row.map : row.stroke, stroke[9]) << row.name << ": undo copy";
        EXPECT_EQ(applies ? 7 : 0, stroke[10]) << row.name;
    }
}

TEST(GeneratorEncodingTest, NeverWrapsIntoAnUntouchedValue) {
    const struct {
        int64_t altitude;
        int16_t stored;
    } rows[] = {{-1000, 1}, {0, 1}, {1, 2}, {4000, 4001}, {32765, 32766}, {32766, 32767}, {32767, 32767},
                {1000000, 32767}};
    for (const auto& row : rows) EXPECT_EQ(row.stored, EncodeGeneratedAltitude(row.altitude)) << row.altitude;
}

TEST(GeneratorProfileTest, RoundTripAndDefaults) {
    FakeProfile().clear();
    CTerrainGenerator loaded;
    loaded.LoadProfile(kFakePluginHandle);
    EXPECT_EQ(3, loaded.Method) << "a missing key keeps the default";
    EXPECT_EQ(160, loaded.Dist);
    loaded.MinAlt = -250;
    loaded.Persistance = 0.9;
    loaded.Mag = 1.0471285480508996;
    loaded.SaveProfile(kFakePluginHandle);
    EXPECT_EQ(900, FakeProfile()["Gen_Persistance"]);
    EXPECT_EQ(1047, FakeProfile()["Gen_Mag"]);
    EXPECT_EQ(-250, FakeProfile()["Gen_MinAlt"]);
    CTerrainGenerator again;
    again.LoadProfile(kFakePluginHandle);
    EXPECT_EQ(-250, again.MinAlt) << "negative altitudes survive";
    EXPECT_DOUBLE_EQ(0.9, again.Persistance);
    EXPECT_DOUBLE_EQ(1.047, again.Mag);
    FakeProfile()["Gen_Mag"] = -1;  // a damaged profile: read as unsigned
    again.LoadProfile(kFakePluginHandle);
    EXPECT_GT(again.Mag, 4e6);
    FakeProfile().clear();
}

TEST(PerlinNoiseTest, DeterministicPerSeedAndBounded) {
    CPerlinNoise a, b, c;
    a.Create(0.5, 50, 50, 1234.0);
    b.Create(0.5, 50, 50, 1234.0);
    c.Create(0.5, 50, 50, -977.5);
    double one = 1.0, other = 1.0;
    int octaves = a.GetOctaves(one, other) + 1;
    EXPECT_EQ(5, octaves) << "wavelengths from 50 samples down to about 3";
    int different = 0;
    double lowest = 0, highest = 0;
    for (int y = 0; y < 200; y += 3) {
        for (int x = 0; x < 200; x += 3) {
            double va = a.PerlinNoise2D(x, y, octaves);
            ASSERT_EQ(va, b.PerlinNoise2D(x, y, octaves));
            ASSERT_EQ(va, a.PerlinNoise2D(x, y, octaves));
            double diff = va - c.PerlinNoise2D(x, y, octaves);
            different += diff != 0;
            lowest = std::min(lowest, diff);
            highest = std::max(highest, diff);
        }
    }
    EXPECT_GT(different, 4000) << "another seed gives another field";
    EXPECT_GE(lowest, -2.0);
    EXPECT_LE(highest, 2.0);
    EXPECT_LT(lowest, -0.3) << "the difference uses the band";
    EXPECT_GT(highest, 0.3);
}

// Exact values of today's fields, so any change to the gradients, the hash, the fade or
// the order of the sums shows. Fields: {persistence, scale x, scale y, seed}.
TEST(PerlinNoiseTest, GoldenValues) {
    const double fields[3][4] = {{0.5, 50, 50, 1234.0}, {0.9, 3.5, 120, -977.5}, {0.35, 1, 1, 0.0}};
    const int octaves[5] = {1, 2, 5, 8, 16};
    struct Row {
        int field;
        double x, y;
        double values[5];  // at each of the octave counts above
    };
    const Row rows[] = {
        {0, 17, 233, {-0x1.19aae5699242p-2, -0x1.d0eca2f26f47p-4, -0x1.5c219b68f596dp-5, -0x1.495016c18582bp-5, -0x1.471e1b65657f6p-5}},
        {0, -45.25, 12.5, {-0x1.7f5aabbe5cca7p-2, -0x1.6ebcfdff2a2c7p-2, -0x1.6733273e1c365p-2, -0x1.5f9d067971147p-2, -0x1.5db3c08d6867p-2}},
        {0, 123456.75, -98765.5, {0x1.2b7eb9cb95545p-2, 0x1.beaba960e8f3cp-8, -0x1.ce2eb42bc39b4p-5, -0x1.e408f83e8ba49p-5, -0x1.dc11e0b8d9102p-5}},
        {0, 1e9, 3, {0x1.f9b93b9d640ap-5, 0x1.5b45c78138527p-4, 0x1.1735b432ef5fap-3, 0x1.157d30290b8ep-3, 0x1.14d5c22d20a47p-3}},
        {1, 17, 233, {-0x1.6ec9b95296a4dp-3, 0x1.38cd90f1b3cfap-6, -0x1.1e37aea597ap-13, -0x1.2fa0f0a31a91ap-5, 0x1.e3417843f2be9p-10}},
        {1, -45.25, 12.5, {0x1.05c3bed2efe8p-6, 0x1.7b8fe5dc443e1p-6, -0x1.d361286709cc8p-7, 0x1.b6abc3792bf06p-7, 0x1.1a0bfaff7abb5p-4}},
        {1, 123456.75, -98765.5, {-0x1.110a6887ffcf7p-3, -0x1.22384b91956ap-4, 0x1.bba57f5c50c81p-5, -0x1.1f57f14769f62p-8, -0x1.8962e3b0426f9p-6}},
        {1, 1e9, 3, {-0x1.999d5cb7050fbp-6, -0x1.bc80d4d42e496p-3, -0x1.46d16e193ea01p-3, -0x1.ffd2177e801e4p-4, -0x1.c4667a8c2df97p-4}},
        {2, -45.25, 12.5, {0x1.7c3f8038c407p-5, -0x1.f418ac7cb4297p-4, -0x1.b926ce57193e4p-4, -0x1.b6eef472e3e41p-4, -0x1.b6d5a82d03052p-4}},
        {2, 123456.75, -98765.5, {0x1.141bd35aab8bap-3, 0x1.d601a60a462e9p-3, 0x1.9e9bb65a0fc17p-3, 0x1.9c86071e18aafp-3, 0x1.9c6e4082c6bdap-3}},
    };
    for (const Row& row : rows) {
        const double* f = fields[row.field];
        CPerlinNoise noise;
        noise.Create(f[0], f[1], f[2], f[3]);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(row.values[i], noise.PerlinNoise2D(row.x, row.y, octaves[i]))
                << "field " << row.field << " at " << row.x << ", " << row.y << ", " << octaves[i] << " octaves";
        }
    }
}

// A hash of the exact bits over a grid of 67 x 67 points, for every octave count, so the
// octaves' pairing and the odd last octave are all pinned.
TEST(PerlinNoiseTest, GoldenGridHashes) {
    const double fields[3][4] = {{0.5, 50, 50, 1234.0}, {0.9, 3.5, 120, -977.5}, {0.35, 1, 1, 0.0}};
    const uint64_t hashes[3][16] = {
        {0x08172122c5770e65ull, 0x9e484c1028c59d62ull, 0x3927677959eee28bull, 0x7c3e6ff117bc72feull,
         0x4f82472bba5acff8ull, 0x4daa995abde84893ull, 0xcf4eb568fa927980ull, 0x283c7f8ab9f48713ull,
         0x05123794936f902cull, 0x07c31646480d7021ull, 0x58aca734263b20c3ull, 0xbbdaec65be9b7e74ull,
         0x2cdc1d20c03ce0a6ull, 0x6ebcb290bf7b2637ull, 0xca2b726df64003d3ull, 0x0a3a435517157edaull},
        {0xe6e9e18694e2baffull, 0x501d3ca38e701f2full, 0xae6d0da080d5add9ull, 0x862c9ce1bad4c8dcull,
         0x5440824dc3658af7ull, 0x9ccf649877a5ce43ull, 0x6e3f9ffd36210b1aull, 0x438b64f412e60ca9ull,
         0xa7dd1006d985a426ull, 0x9f794c592f3b7baaull, 0x359f898007ed62eeull, 0x7a768473e5b457edull,
         0x8e6425f828dd98d0ull, 0x726022789fd17c90ull, 0x4704cda9e7db8d33ull, 0x7fa788cd2860a4eaull},
        {0xe78f5cbb37b4786aull, 0x6ae53f3c1b6afa16ull, 0x9a7ca8f3cab85ddeull, 0x55a35f35d35cb68eull,
         0x3c5f26251f3db6fcull, 0x5052948c16551693ull, 0xc714cc4c79a5f925ull, 0x74b4727204e784e3ull,
         0x059895778187af8cull, 0x9dbf019c6f521eb2ull, 0x488ced91d4fb825dull, 0x519134df88c78ce9ull,
         0x2b718a61de1022faull, 0x81fe821a9a8eaf43ull, 0x229787c7319e4795ull, 0x5545cbb6701c0f7full},
    };
    for (int field = 0; field < 3; ++field) {
        const double* f = fields[field];
        CPerlinNoise noise;
        noise.Create(f[0], f[1], f[2], f[3]);
        for (int octaves = 1; octaves <= 16; ++octaves) {
            uint64_t hash = 1469598103934665603ull;  // FNV-1a over the values' bits
            for (int y = -100; y < 100; y += 3) {
                for (int x = -100; x < 100; x += 3) {
                    double value = noise.PerlinNoise2D(x * 1.75, y * 0.5 + 1000, octaves);
                    uint64_t bits = 0;
                    std::memcpy(&bits, &value, sizeof bits);
                    hash = (hash ^ bits) * 1099511628211ull;
                }
            }
            EXPECT_EQ(hashes[field][octaves - 1], hash) << "field " << field << ", " << octaves << " octaves";
        }
    }
}

TEST(PerlinNoiseTest, DamagedParametersStayFinite) {
    CPerlinNoise noise;
    noise.Create(-3.0, 0.0, -5.0, 1.0);
    double one = 1.0, other = 1.0;
    int octaves = noise.GetOctaves(one, other) + 1;
    EXPECT_GE(octaves, 1);
    EXPECT_TRUE(std::isfinite(noise.PerlinNoise2D(10.5, 3.25, octaves)));
    noise.Create(4294967.295, 500, 500, 2.0);
    EXPECT_TRUE(std::isfinite(noise.PerlinNoise2D(10.5, 3.25, 16)));
}

}  // namespace
