#include <unistd.h>

#include <cstdio>

#include "devhost/store/file_io.h"

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    return ::fsync(::fileno(file)) == 0;
}

bool FlushDataToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    return ::fdatasync(::fileno(file)) == 0;
}

bool ReplaceFileAtomically(const std::string& source, const std::string& target) {
    return std::rename(source.c_str(), target.c_str()) == 0;
}
