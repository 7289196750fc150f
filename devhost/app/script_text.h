// The text of a scripted session as editors on Windows save it: UTF-8, with or without
// the byte-order mark Notepad writes, lines ending in LF or CRLF. Anything else (a file
// saved as UTF-16 or in a legacy code page such as Shift_JIS) is refused as a whole,
// before any of its commands runs, naming the first line that is not UTF-8.
#pragma once

#include <string>

namespace devhost {

struct ScriptTextCheck {
    bool ok = true;
    int line = 0;  // 1-based line of the first problem
    std::string reason;
};

// Drops a leading UTF-8 byte-order mark from `text`, then checks that every line is
// well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
ScriptTextCheck PrepareScriptText(std::string* text);

}  // namespace devhost
