#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "mapstore/file_io.h"
#include "host/utf8_win.h"

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return ::_wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

std::FILE* OpenRegularFile(const std::string& path, const char* mode, std::string* problem) {
    std::FILE* file = OpenFileUtf8(path, mode);
    if (file == nullptr) return *problem = LastFileErrorText(), nullptr;
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(file);
        return *problem = "not a regular file (a pipe or a device)", nullptr;
    }
    return file;
}

bool IsStreamOrDevice(const std::string& path) {
    HANDLE handle = ::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD type = ::GetFileType(handle);
    ::CloseHandle(handle);
    return type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR;
}

bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    return ::_commit(::_fileno(file)) == 0;
}

bool FlushDataToDisk(std::FILE* file) { return FlushToDisk(file); }

namespace {

// errno for what the system last refused, so that LastFileErrorText names it.
void SetErrnoFromLastError() {
    switch (::GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_WRITE_PROTECT:
        errno = EROFS;
        break;
    default:
        errno = EIO;
    }
}

}  // namespace

bool ReplaceFileAtomically(const std::string& source, const std::string& target) {
    if (::MoveFileExW(Widen(source).c_str(), Widen(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    SetErrnoFromLastError();
    return false;
}

namespace {

const int kNameAttempts = 100;

// A name beside `target` that is unlikely to be taken; the caller creates it exclusively
// and tries again when it is.
std::string CandidateName(const std::string& target, int attempt) {
    static LONG counter = 0;
    unsigned long long mix = (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount() ^
                             (static_cast<unsigned long long>(::InterlockedIncrement(&counter)) << 16) ^
                             static_cast<unsigned long long>(attempt) * 0x9E3779B97F4A7C15ull;
    mix ^= mix >> 29;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(mix & 0xFFFFFFull));
    return target + ".zolva-" + suffix;
}

}  // namespace

// New files take the folder's inherited access rights, which is what a file saved there
// by any other program gets; only the read-only attribute is copied from `target`.
std::FILE* CreateFileBeside(const std::string& target, std::string* path, std::string* problem) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = CandidateName(target, attempt);
        HANDLE handle = ::CreateFileW(Widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS) continue;
            SetErrnoFromLastError();
            break;
        }
        int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            ::CloseHandle(handle);
            ::DeleteFileW(Widen(name).c_str());
            break;
        }
        std::FILE* file = ::_fdopen(fd, "w+b");
        if (file == nullptr) {
            ::_close(fd);
            ::DeleteFileW(Widen(name).c_str());
            break;
        }
        *path = name;
        return file;
    }
    *problem = "cannot create a file beside " + target + ": " + LastFileErrorText();
    return nullptr;
}

bool CreateFolderBeside(const std::string& target, std::string* path, std::string* problem) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = CandidateName(target, attempt);
        if (::CreateDirectoryW(Widen(name).c_str(), nullptr)) {
            *path = name;
            return true;
        }
        if (::GetLastError() == ERROR_ALREADY_EXISTS) continue;
        SetErrnoFromLastError();
        break;
    }
    *problem = "cannot create a folder beside " + target + ": " + LastFileErrorText();
    return false;
}

bool CopyAccessRights(const std::string& model, const std::string& path) {
    DWORD attributes = ::GetFileAttributesW(Widen(model).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
    DWORD own = ::GetFileAttributesW(Widen(path).c_str());
    return own != INVALID_FILE_ATTRIBUTES && ::SetFileAttributesW(Widen(path).c_str(), own | FILE_ATTRIBUTE_READONLY);
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(Widen(path).c_str()) != 0; }

bool RemoveFolder(const std::string& path) { return ::RemoveDirectoryW(Widen(path).c_str()) != 0; }

unsigned long long FreeBytesIn(const std::string& folder) {
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExW(Widen(folder.empty() ? "." : folder).c_str(), &available, nullptr, nullptr)) return ~0ull;
    return available.QuadPart;
}

std::string LastFileErrorText() {
    int error = errno;
    if (error == 0) return std::string();
    if (error == ENOSPC) return "the disk is full";
    return std::strerror(error);
}

namespace {

// The same byte POSIX programs lock: Wine turns this lock into an fcntl record lock on it.
const unsigned long long kLockByte = 1ull << 62;
const DWORD kLockRetryMs = 50;

HANDLE HandleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file))); }

OVERLAPPED LockPlace() {
    OVERLAPPED place = {};
    place.Offset = static_cast<DWORD>(kLockByte & 0xFFFFFFFFull);
    place.OffsetHigh = static_cast<DWORD>(kLockByte >> 32);
    return place;
}

// The system's text for a Windows error code, in English, with its code.
std::string SystemErrorText(DWORD code) {
    char text[256] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.')) --length;
    std::string said(text, length);
    return (said.empty() ? "Windows error" : said) + " (error " + std::to_string(code) + ")";
}

}  // namespace

LockOutcome LockForWriting(std::FILE* file, int waitMs, std::string* why) {
    HANDLE handle = HandleOf(file);
    for (int waited = 0;; waited += static_cast<int>(kLockRetryMs)) {
        OVERLAPPED place = LockPlace();
        if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place)) {
            return LockOutcome::kTaken;
        }
        DWORD code = ::GetLastError();
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) return *why = SystemErrorText(code), LockOutcome::kFailed;
        if (waited >= waitMs) return LockOutcome::kBusy;
        ::Sleep(kLockRetryMs);
    }
}

void UnlockForWriting(std::FILE* file) {
    OVERLAPPED place = LockPlace();
    ::UnlockFileEx(HandleOf(file), 0, 1, 0, &place);
}

bool StillNamedBy(std::FILE* file, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION open, named;
    if (!::GetFileInformationByHandle(HandleOf(file), &open)) return false;
    HANDLE handle = ::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool same = ::GetFileInformationByHandle(handle, &named) && open.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
                open.nFileIndexHigh == named.nFileIndexHigh && open.nFileIndexLow == named.nFileIndexLow;
    ::CloseHandle(handle);
    return same;
}

// A temporary still being written is open without FILE_SHARE_DELETE, so the system
// refuses to delete it; only those of writers that are gone go.
int RemoveStaleFilesBeside(const std::string& target) {
    const std::string prefix = target + ".zolva-";
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(Widen(prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    size_t slash = target.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    const unsigned long long minAge = 10000000ull * kStaleTemporarySeconds;  // 100 ns ticks
    int removed = 0;
    do {
        std::string name = folder + Narrow(found.cFileName);
        if (name.size() != prefix.size() + 6 || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (ticks(now) < ticks(found.ftLastWriteTime) + minAge) continue;
        if (::DeleteFileW(Widen(name).c_str())) ++removed;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}
