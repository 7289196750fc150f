// Numbers as the plug-in's edit boxes show and read them: the palette's altitude, the
// generation dialog's altitudes and range. Every number-to-integer conversion truncates
// toward zero and saturates at the int limits, so no typed text overflows.
//
// Reading and writing use no heap and no C runtime conversion: the runtime's decimal
// conversions allocate behind the caller's back, and the module must survive memory
// running short.
#pragma once

#include "host/wide_text.h"

// The leading decimal integer of a text after blanks and a sign, up to the first other
// character; 0 without digits.
int LeadingInteger(const wchar_t* text);
inline int LeadingInteger(const WideText& text) { return LeadingInteger(text.c_str()); }
// The leading decimal number (digits, a point, an exponent); 0 without one. Correctly
// rounded when its significant digits make an integer below 2^53 (15 digits always do)
// and its power of ten is within ±22, which covers what anyone types; beyond that within
// a few units in the last place. Overflow gives ±HUGE_VAL, underflow ±0.
double LeadingNumber(const wchar_t* text);
inline double LeadingNumber(const WideText& text) { return LeadingNumber(text.c_str()); }
// Toward zero, saturated; NaN gives 0.
int TruncateToInt(double value);
// "%d".
WideText FormatInteger(int value);
// One decimal, exactly as "%.1f" rounds (half to even on exact ties): "nan", "inf" and
// "-inf" for the non-finite values.
WideText FormatTenths(double value);
