// A short wide text held by value, never on the heap: the numbers and edit-box texts that
// move between the plug-in's controls and its members. A longer text is cut at the
// capacity, which holds any int and any finite double shown with one decimal.
#pragma once

#include <cstddef>
#include <cwchar>

struct WideText {
    static const size_t kCapacity = 330;

    wchar_t text[kCapacity + 1] = {};

    WideText() = default;
    // Implicit, so that a literal can be given where a text is expected.
    WideText(const wchar_t* source) { Assign(source); }  // NOLINT(google-explicit-constructor)

    void Assign(const wchar_t* source) {
        size_t i = 0;
        for (; source != nullptr && source[i] != L'\0' && i < kCapacity; ++i) text[i] = source[i];
        text[i] = L'\0';
    }
    const wchar_t* c_str() const { return text; }
    size_t size() const { return std::wcslen(text); }
    bool empty() const { return text[0] == L'\0'; }
};

inline bool operator==(const WideText& a, const wchar_t* b) { return std::wcscmp(a.text, b) == 0; }
inline bool operator==(const wchar_t* a, const WideText& b) { return std::wcscmp(a, b.text) == 0; }
inline bool operator==(const WideText& a, const WideText& b) { return std::wcscmp(a.text, b.text) == 0; }
inline bool operator!=(const WideText& a, const wchar_t* b) { return !(a == b); }
