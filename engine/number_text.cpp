#include "engine/number_text.h"

#include <climits>
#include <cmath>
#include <cwchar>
#include <cwctype>

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Index just past the digits starting at `i`; `count` is increased by their number.
size_t SkipDigits(const std::wstring& text, size_t i, size_t& count) {
    while (i < text.size() && IsDigit(text[i])) ++i, ++count;
    return i;
}

}  // namespace

int LeadingInteger(const std::wstring& text) {
    long long value = std::wcstoll(text.c_str(), nullptr, 10);
    if (value < INT_MIN) return INT_MIN;
    if (value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}

// Only plain decimal notation is read: no hexadecimal, no "inf" or "nan".
double LeadingNumber(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) ++i;
    size_t digits = 0;
    i = SkipDigits(text, i, digits);
    if (i < text.size() && text[i] == L'.') i = SkipDigits(text, i + 1, digits);
    if (digits == 0) return 0.0;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) ++j;
        size_t exponentDigits = 0;
        j = SkipDigits(text, j, exponentDigits);
        if (exponentDigits > 0) i = j;
    }
    return std::wcstod(text.substr(start, i - start).c_str(), nullptr);
}

int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

std::wstring FormatInteger(int value) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%d", value);
    return buffer;
}

// Wide enough for any finite double in fixed notation.
std::wstring FormatTenths(double value) {
    wchar_t buffer[400];
    std::swprintf(buffer, 400, L"%.1f", value);
    return buffer;
}
