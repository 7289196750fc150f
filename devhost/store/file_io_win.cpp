#include <windows.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "devhost/store/file_io.h"
#include "host/utf8_win.h"

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return ::_wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    return ::_commit(::_fileno(file)) == 0;
}

bool FlushDataToDisk(std::FILE* file) { return FlushToDisk(file); }

bool ReplaceFileAtomically(const std::string& source, const std::string& target) {
    return ::MoveFileExW(Widen(source).c_str(), Widen(target).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
