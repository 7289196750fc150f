#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "generator/generation_units.h"
#include "generator/terrain_generator.h"

namespace {

// The rows' texts are ASCII.
std::string Ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

TEST(GenerationConversionsTest, TextsReadAsLeadingNumbersAndSaturate) {
    const struct {
        const wchar_t* text;
        int integer;
        double number;
    } rows[] = {
        {L"4000", 4000, 4000.0},          {L"  -12abc", -12, -12.0},       {L"abc", 0, 0.0},
        {L"8.0", 8, 8.0},                 {L" 2.5km", 2, 2.5},             {L".5", 0, 0.5},
        {L"1e3", 1, 1000.0},              {L"1e", 1, 1.0},                 {L"-3.", -3, -3.0},
        {L"0x10", 0, 0.0},                {L"inf", 0, 0.0},                {L"nan", 0, 0.0},
        {L"99999999999", INT_MAX, 99999999999.0}, {L"-99999999999", INT_MIN, -99999999999.0},
        {L"+7", 7, 7.0},                  {L"", 0, 0.0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.integer, LeadingInteger(row.text)) << Ascii(row.text);
        EXPECT_EQ(row.number, LeadingNumber(row.text)) << Ascii(row.text);
    }
    EXPECT_EQ(HUGE_VAL, LeadingNumber(L"1e999"));
}

TEST(GenerationConversionsTest, PositionsTruncateSaturateAndStayInsideTheSliderRanges) {
    const struct {
        double value;
        int truncated;
    } truncations[] = {{2.9, 2}, {-2.9, -2}, {1e300, INT_MAX}, {-1e300, INT_MIN}, {HUGE_VAL, INT_MAX},
                       {-HUGE_VAL, INT_MIN}, {NAN, 0}, {2147483647.5, INT_MAX}};
    for (const auto& row : truncations) EXPECT_EQ(row.truncated, TruncateToInt(row.value)) << row.value;

    const struct {
        double persistence;
        int roughness;
        double mag;
        int relief;
    } positions[] = {{0.5, 50, 1.0, 50},   {0.9, 9, 1.047, 50},   {1.0, 0, 0.1, 0},    {0.0, 100, 10.0, 100},
                     {-3.0, 100, 0.0, 0},  {4294966.796, 0, -1.0, 0}, {NAN, 100, NAN, 0}, {1.5, 0, 1e300, 100}};
    for (const auto& row : positions) {
        EXPECT_EQ(row.roughness, RoughnessPosition(row.persistence)) << row.persistence;
        EXPECT_EQ(row.relief, ReliefPosition(row.mag)) << row.mag;
    }
    EXPECT_EQ(1047, static_cast<int>(MagnificationAt(51) * 1000));
    EXPECT_EQ(900, static_cast<int>(PersistenceAt(10) * 1000));
    EXPECT_EQ(L"8.0", RangeTextOfDist(160, 0.02));
    EXPECT_EQ(L"-2147483648", FormatInteger(INT_MIN));
    EXPECT_EQ(10000, RangePosition(L"1000.09"));
    EXPECT_EQ(INT_MAX, RangePosition(L"1e200"));
}

TEST(GenerationConversionsTest, RangeTextsBecomeBoundedHalfWidths) {
    const struct {
        const wchar_t* text;
        int dist;
    } rows[] = {{L"8.0", 160}, {L"8.09km", 161}, {L"-1", -20}, {L"x", 0}, {L"1e9", kMaxGenerationDist}};
    for (const auto& row : rows) EXPECT_EQ(row.dist, DistOfRangeText(row.text, 0.02)) << Ascii(row.text);
}

// The conversions replace the C runtime's, which allocate; they must read and write what
// it does: every typed-length number exactly, and "%.1f" for any double, ties included.
TEST(GenerationConversionsTest, ReadingAndWritingMatchTheCRuntime) {
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 20000; ++i) {
        // Up to 15 significant digits, three of them after the point, and a power of ten
        // that keeps the whole within 10^±22: what the boxes are typed with.
        wchar_t text[64];
        long long digits = static_cast<long long>(random() % 1000000000000000ULL);
        int exponent = static_cast<int>(random() % 42) - 19;
        std::swprintf(text, 64, L"%s%lld.%03llde%d", i % 2 ? L"-" : L" ", digits / 1000, digits % 1000, exponent);
        EXPECT_EQ(std::wcstod(text, nullptr), LeadingNumber(text)) << Ascii(text);
    }
    std::vector<double> values = {0.25, 0.75, 2.5, 0.05, 0.15, -0.04, -0.0, 0.95, 9.95, 99.95, 1e15 + 0.5,
                                  9007199254740993.0, 1e22, 1e300, DBL_MAX, DBL_MIN, 4503599627370495.5};
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = random();
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) values.push_back(i % 2 ? value : std::ldexp(static_cast<double>(bits >> 12), -20));
    }
    for (double value : values) {
        wchar_t expected[400];
        std::swprintf(expected, 400, L"%.1f", value);
        EXPECT_EQ(std::wstring(expected), std::wstring(FormatTenths(value).c_str())) << value;
    }
}
