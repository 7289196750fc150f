#include "devhost/app/script_text.h"

#include <cstdio>

namespace devhost {
namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";

// Length of the well-formed UTF-8 sequence at text[at], or 0 when there is none.
size_t SequenceLength(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    }
    return length;
}

ScriptTextCheck Refuse(int line, const std::string& reason) {
    ScriptTextCheck check;
    check.ok = false;
    check.line = line;
    check.reason = reason;
    return check;
}

}  // namespace

ScriptTextCheck PrepareScriptText(std::string* text) {
    if (text->compare(0, 3, kUtf8Bom) == 0) text->erase(0, 3);
    if (text->compare(0, 2, "\xFF\xFE") == 0 || text->compare(0, 2, "\xFE\xFF") == 0) {
        return Refuse(1, "the script is saved as UTF-16; save it as UTF-8");
    }
    int line = 1;
    size_t lineStart = 0;
    for (size_t at = 0; at < text->size();) {
        if ((*text)[at] == '\n') {
            ++line;
            lineStart = ++at;
            continue;
        }
        size_t length = SequenceLength(*text, at);
        if (length == 0) {
            char detail[96];
            std::snprintf(detail, sizeof detail, " (byte 0x%02X at column %zu); save it as UTF-8",
                          static_cast<unsigned char>((*text)[at]), at - lineStart + 1);
            return Refuse(line, std::string("the script is not UTF-8 text") + detail);
        }
        at += length;
    }
    return ScriptTextCheck();
}

}  // namespace devhost
