#include <windows.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "devhost/store/file_io.h"

namespace {

std::wstring Widen(const std::string& text) {
    int length = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

}  // namespace

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
