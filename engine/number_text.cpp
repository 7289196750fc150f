#include "engine/number_text.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cwctype>

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Powers of ten that doubles hold exactly.
const double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
const int kMaxExactPower = 22;
const int kMaxMantissaDigits = 19;  // fit in 64 bits
const int kExponentLimit = 100000;  // far beyond any double, so the sum below never overflows

const wchar_t* SkipBlanks(const wchar_t* p) {
    while (*p != L'\0' && std::iswspace(*p)) ++p;
    return p;
}

// Reads a sign; true for minus.
bool ReadSign(const wchar_t*& p) {
    if (*p != L'+' && *p != L'-') return false;
    return *p++ == L'-';
}

// A decimal number's significant digits and its power of ten.
struct Decimal {
    uint64_t mantissa = 0;
    int digits = 0;      // significant digits kept in the mantissa
    int exponent = 0;    // value = mantissa x 10^exponent
    bool any = false;    // a digit was seen

    void Take(wchar_t c, bool afterPoint) {
        any = true;
        if (mantissa == 0 && c == L'0') {
            if (afterPoint) --exponent;
            return;
        }
        if (digits < kMaxMantissaDigits) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(c - L'0');
            ++digits;
            if (afterPoint) --exponent;
        } else if (!afterPoint) {
            ++exponent;  // a dropped digit before the point still counts a place
        }
    }
};

// The exponent part after 'e' or 'E', when it has digits; `p` is left after it.
int ReadExponent(const wchar_t*& p) {
    const wchar_t* q = p + 1;
    bool negative = ReadSign(q);
    if (!IsDigit(*q)) return 0;
    int value = 0;
    for (; IsDigit(*q); ++q) {
        if (value < kExponentLimit) value = value * 10 + (*q - L'0');
    }
    p = q;
    return negative ? -value : value;
}

// mantissa x 10^exponent: one rounding when both fit the exact ranges, else a few.
double Scale(uint64_t mantissa, int exponent) {
    double value = static_cast<double>(mantissa);
    while (exponent > kMaxExactPower && value < HUGE_VAL) {
        value *= kExactPowers[kMaxExactPower];
        exponent -= kMaxExactPower;
    }
    while (exponent < -kMaxExactPower && value > 0.0) {
        value /= kExactPowers[kMaxExactPower];
        exponent += kMaxExactPower;
    }
    if (exponent > kMaxExactPower || exponent < -kMaxExactPower) return value;  // overflowed to inf, or 0
    return exponent >= 0 ? value * kExactPowers[exponent] : value / kExactPowers[-exponent];
}

void AppendChar(WideText& out, size_t& length, wchar_t c) {
    if (length < WideText::kCapacity) out.text[length++] = c;
    out.text[length] = L'\0';
}

void AppendUnsigned(WideText& out, size_t& length, uint64_t value) {
    wchar_t reversed[24];
    int count = 0;
    do {
        reversed[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) AppendChar(out, length, reversed[--count]);
}

// An integral double of 2^53 or more, digit for digit: the mantissa doubled `exponent`
// times in base-10^9 limbs (a double below 2^1024 has at most 309 digits).
void AppendLargeInteger(WideText& out, size_t& length, double value) {
    const uint32_t kBase = 1000000000;
    uint32_t limbs[40] = {};
    int count = 0;
    int exponent = 0;
    uint64_t mantissa = static_cast<uint64_t>(std::ldexp(std::frexp(value, &exponent), 53));
    exponent -= 53;
    for (; mantissa != 0; mantissa /= kBase) limbs[count++] = static_cast<uint32_t>(mantissa % kBase);
    for (int e = 0; e < exponent; ++e) {
        uint32_t carry = 0;
        for (int i = 0; i < count; ++i) {
            uint32_t doubled = limbs[i] * 2 + carry;
            carry = doubled >= kBase ? 1 : 0;
            limbs[i] = doubled - carry * kBase;
        }
        if (carry != 0) limbs[count++] = carry;
    }
    AppendUnsigned(out, length, limbs[count - 1]);
    for (int i = count - 2; i >= 0; --i) {
        for (uint32_t place = kBase / 10; place > 0; place /= 10) {
            AppendChar(out, length, static_cast<wchar_t>(L'0' + limbs[i] / place % 10));
        }
    }
}

// The exact product a x b as head + tail (Dekker's product, no fused multiply-add).
void ExactProduct(double a, double b, double& head, double& tail) {
    const double kSplitter = 134217729.0;  // 2^27 + 1
    head = a * b;
    double ca = kSplitter * a, cb = kSplitter * b;
    double aHigh = ca - (ca - a), aLow = a - aHigh;
    double bHigh = cb - (cb - b), bLow = b - bHigh;
    tail = ((aHigh * bHigh - head) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
}

// The tenths digit of a fraction in [0, 1), rounded half to even; 10 when it carries
// into the whole part.
int RoundedTenths(double fraction) {
    double head = 0.0, tail = 0.0;
    ExactProduct(fraction, 10.0, head, tail);
    double digit = std::floor(head);
    if (head == digit && tail < 0.0) digit -= 1.0;
    double rest = head - digit;  // exact; the true rest is rest + tail
    bool up;
    if (rest < 0.25) {
        up = false;
    } else {
        double excess = rest - 0.5;  // exact for rest >= 0.25
        if (excess != -tail) {
            up = excess > -tail;
        } else {
            up = (static_cast<int>(digit) & 1) != 0;
        }
    }
    return static_cast<int>(digit) + (up ? 1 : 0);
}

}  // namespace

int LeadingInteger(const wchar_t* text) {
    const wchar_t* p = SkipBlanks(text);
    bool negative = ReadSign(p);
    int64_t value = 0;
    for (; IsDigit(*p); ++p) {
        if (value <= static_cast<int64_t>(INT_MAX) + 1) value = value * 10 + (*p - L'0');
    }
    if (negative) value = -value;
    if (value < INT_MIN) return INT_MIN;
    if (value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}

// Only plain decimal notation is read: no hexadecimal, no "inf" or "nan".
double LeadingNumber(const wchar_t* text) {
    const wchar_t* p = SkipBlanks(text);
    bool negative = ReadSign(p);
    Decimal decimal;
    for (; IsDigit(*p); ++p) decimal.Take(*p, false);
    if (*p == L'.') {
        for (++p; IsDigit(*p); ++p) decimal.Take(*p, true);
    }
    if (!decimal.any) return 0.0;
    if (*p == L'e' || *p == L'E') decimal.exponent += ReadExponent(p);
    double value = decimal.mantissa == 0 ? 0.0 : Scale(decimal.mantissa, decimal.exponent);
    return negative ? -value : value;
}

int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

WideText FormatInteger(int value) {
    WideText out;
    size_t length = 0;
    if (value < 0) AppendChar(out, length, L'-');
    uint64_t magnitude = value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
    AppendUnsigned(out, length, magnitude);
    return out;
}

WideText FormatTenths(double value) {
    WideText out;
    size_t length = 0;
    if (std::isnan(value)) return WideText(L"nan");
    if (std::signbit(value)) AppendChar(out, length, L'-');
    double magnitude = std::fabs(value);
    if (std::isinf(magnitude)) {
        for (const wchar_t* p = L"inf"; *p != L'\0'; ++p) AppendChar(out, length, *p);
        return out;
    }
    const double kExactIntegers = 9007199254740992.0;  // 2^53: every double above is whole
    if (magnitude >= kExactIntegers) {
        AppendLargeInteger(out, length, magnitude);
        AppendChar(out, length, L'.');
        AppendChar(out, length, L'0');
        return out;
    }
    double whole = std::floor(magnitude);
    uint64_t integer = static_cast<uint64_t>(whole);
    int tenths = RoundedTenths(magnitude - whole);
    if (tenths == 10) {
        ++integer;
        tenths = 0;
    }
    AppendUnsigned(out, length, integer);
    AppendChar(out, length, L'.');
    AppendChar(out, length, static_cast<wchar_t>(L'0' + tenths));
    return out;
}
