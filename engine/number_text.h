// Numbers as the plug-in's edit boxes show and read them: the palette's altitude, the
// generation dialog's altitudes and range. Every number-to-integer conversion truncates
// toward zero and saturates at the int limits, so no typed text overflows.
#pragma once

#include <string>

// The leading decimal integer of a text after blanks and a sign, up to the first other
// character; 0 without digits.
int LeadingInteger(const std::wstring& text);
// The leading decimal number (digits, a point, an exponent); 0 without one.
double LeadingNumber(const std::wstring& text);
// Toward zero, saturated; NaN gives 0.
int TruncateToInt(double value);
// "%d".
std::wstring FormatInteger(int value);
// One decimal, "%.1f".
std::wstring FormatTenths(double value);
