#include "devhost/app/output.h"

#include <windows.h>

#include <cstdio>

#include "host/utf8_win.h"

namespace devhost {
namespace {

// A standard handle that leads somewhere: a file, a pipe or a console.
bool Usable(DWORD which) {
    HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Both streams append to the emptied log, unbuffered, so their lines interleave in the
// order they were printed.
bool OpenLog(const std::wstring& path, std::string* error) {
    std::FILE* check = ::_wfopen(path.c_str(), L"w");
    if (check == nullptr) {
        *error = "cannot write the log " + Narrow(path);
        return false;
    }
    std::fclose(check);
    if (::_wfreopen(path.c_str(), L"a", stdout) == nullptr || ::_wfreopen(path.c_str(), L"a", stderr) == nullptr) {
        *error = "cannot write the log " + Narrow(path);
        return false;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    return true;
}

}  // namespace

bool RouteOutput(const std::wstring& logPath, bool toStartersConsole, std::string* error) {
    if (!logPath.empty()) return OpenLog(logPath, error);
    const bool out = Usable(STD_OUTPUT_HANDLE), err = Usable(STD_ERROR_HANDLE);
    if ((out && err) || !toStartersConsole || !::AttachConsole(ATTACH_PARENT_PROCESS)) return true;
    if (!out) std::freopen("CONOUT$", "w", stdout);
    if (!err) std::freopen("CONOUT$", "w", stderr);
    return true;
}

}  // namespace devhost
