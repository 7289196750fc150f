#include "devhost/profiles/profile_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct ValueRow {
    const char* text;
    bool ok;
    int32_t value;
};

TEST(ProfileValueTest, ParsesOnlyWhole32BitIntegers) {
    const ValueRow rows[] = {
        {"0", true, 0},
        {"20", true, 20},
        {"  -50 ", true, -50},
        {"+7", true, 7},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"4294967295", true, -1},  // an unsigned bit pattern, as the host stores it
        {"4294967296", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999999", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"12abc", false, 0},
        {"abc", false, 0},
        {"1.5", false, 0},
        {"0x10", false, 0},
    };
    for (const ValueRow& row : rows) {
        int32_t value = 12345;
        EXPECT_EQ(row.ok, ParseProfileValue(row.text, &value)) << "text '" << row.text << "'";
        int32_t expected = row.ok ? row.value : 12345;  // a refused text leaves the value alone
        EXPECT_EQ(expected, value) << "text '" << row.text << "'";
    }
}

TEST(ProfileKeyTest, RefusesKeysThatWouldBreakTheFile) {
    EXPECT_TRUE(IsValidProfileKey("BrushSize"));
    EXPECT_TRUE(IsValidProfileKey("CZolvaPalette-X"));
    EXPECT_FALSE(IsValidProfileKey(""));
    EXPECT_FALSE(IsValidProfileKey("a=b"));
    EXPECT_FALSE(IsValidProfileKey("line\nbreak"));
    EXPECT_FALSE(IsValidProfileKey(";comment"));
    EXPECT_FALSE(IsValidProfileKey("[section]"));
    EXPECT_FALSE(IsValidProfileKey(" padded"));
    EXPECT_FALSE(IsValidProfileKey(std::string(256, 'k')));
}

class ProfileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "profile_store_test_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        std::remove(path_.c_str());
    }
    void TearDown() override { std::remove(path_.c_str()); }

    void WriteRaw(const std::string& text) {
        std::ofstream out(path_, std::ios::binary);
        out << text;
    }
    std::string ReadRaw() {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string path_;
};

TEST_F(ProfileStoreTest, MissingFileIsAnEmptyProfile) {
    ProfileStore store(path_);
    std::string error;
    ASSERT_TRUE(store.Load(&error)) << error;
    int32_t value = 7;
    EXPECT_FALSE(store.Get("BrushSize", &value));
    EXPECT_EQ(7, value);
}

TEST_F(ProfileStoreTest, ValuesSurviveAReload) {
    {
        ProfileStore store(path_);
        std::string error;
        ASSERT_TRUE(store.Load(&error));
        ASSERT_TRUE(store.Set("BrushSize", 5, &error)) << error;
        ASSERT_TRUE(store.Set("BrushAlt", -50, &error)) << error;
        ASSERT_TRUE(store.Set("BrushSize", 6, &error)) << error;
    }
    ProfileStore reloaded(path_);
    std::string error;
    ASSERT_TRUE(reloaded.Load(&error));
    int32_t size = 0, altitude = 0;
    ASSERT_TRUE(reloaded.Get("BrushSize", &size));
    ASSERT_TRUE(reloaded.Get("BrushAlt", &altitude));
    EXPECT_EQ(6, size);
    EXPECT_EQ(-50, altitude);
    EXPECT_EQ(2u, reloaded.entries().size()) << "a rewritten key must not be duplicated";
}

TEST_F(ProfileStoreTest, DamagedLinesAreSkippedAndGoodOnesKept) {
    WriteRaw("; comment\n[plugin 1]\nBrushSize=12\nBrushAlt=lots\n=5\nnoequals\n"
             "BrushShape=99999999999\r\nBrushStrength = 29 \r\n" +
             std::string(10000, 'x') + "=1\nBrushMethod=3");
    ProfileStore store(path_);
    std::string error;
    ASSERT_TRUE(store.Load(&error));
    int32_t value = -1;
    EXPECT_TRUE(store.Get("BrushSize", &value));
    EXPECT_EQ(12, value);
    EXPECT_TRUE(store.Get("BrushStrength", &value));
    EXPECT_EQ(29, value);
    EXPECT_TRUE(store.Get("BrushMethod", &value)) << "a last line without a line break still counts";
    EXPECT_EQ(3, value);
    EXPECT_FALSE(store.Get("BrushAlt", &value));
    EXPECT_FALSE(store.Get("BrushShape", &value));
    EXPECT_EQ(3u, store.entries().size());
}

TEST_F(ProfileStoreTest, RefusedKeyLeavesFileAlone) {
    ProfileStore store(path_);
    std::string error;
    ASSERT_TRUE(store.Load(&error));
    ASSERT_TRUE(store.Set("BrushSize", 5, &error));
    std::string before = ReadRaw();
    EXPECT_FALSE(store.Set("bad\nkey", 1, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(before, ReadRaw());
}

TEST_F(ProfileStoreTest, UnwritableFolderReportsFailureAndKeepsMemory) {
    ProfileStore store(::testing::TempDir() + "no-such-folder/deeper/profile.ini");
    std::string error;
    ASSERT_TRUE(store.Load(&error));
    EXPECT_FALSE(store.Set("BrushSize", 5, &error));
    int32_t value = 0;
    EXPECT_FALSE(store.Get("BrushSize", &value)) << "a failed write must not pretend the value was stored";
}

}  // namespace
