#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <cstdio>
#include <cstring>

#include "mapstore/file_io.h"

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

std::FILE* OpenRegularFile(const std::string& path, const char* mode, std::string* problem) {
    bool update = std::strchr(mode, '+') != nullptr;
    // Not blocking, so that opening a FIFO returns at once; it is refused right after.
    int fd = ::open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return *problem = LastFileErrorText(), nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return *problem = "not a regular file (a FIFO, a device or a folder)", nullptr;
    }
    int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file = (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) ? ::fdopen(fd, mode) : nullptr;
    if (file == nullptr) {
        *problem = LastFileErrorText();
        ::close(fd);
    }
    return file;
}

bool IsStreamOrDevice(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode);
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

namespace {

// Permissions a new file gets from the process's umask.
mode_t DefaultFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The owner is kept when the process may give it; the group, then, at least.
bool CopyRightsTo(int fd, const std::string& model, bool isFolder) {
    struct stat st;
    if (::stat(model.c_str(), &st) != 0) {
        if (errno != ENOENT) return false;
        return isFolder || ::fchmod(fd, DefaultFileMode()) == 0;
    }
    if (!isFolder && ::fchmod(fd, st.st_mode & 07777) != 0) return false;
    if (::fchown(fd, st.st_uid, st.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
        return errno == EPERM;
    }
    return true;
}

std::string TemplateFor(const std::string& target) { return target + ".zolva-XXXXXX"; }

}  // namespace

std::FILE* CreateFileBeside(const std::string& target, std::string* path, std::string* problem) {
    std::string name = TemplateFor(target);
    int fd = ::mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0) return *problem = "cannot create a file beside " + target + ": " + LastFileErrorText(), nullptr;
    std::FILE* file = CopyRightsTo(fd, target, false) ? ::fdopen(fd, "w+b") : nullptr;
    if (file == nullptr) {
        *problem = "cannot prepare " + name + ": " + LastFileErrorText();
        ::close(fd);
        ::unlink(name.c_str());
        return nullptr;
    }
    // Held until the file is closed, so that no other writer takes it for a dead one's.
    std::string unlocked;
    LockForWriting(file, 0, &unlocked);
    *path = name;
    return file;
}

bool CreateFolderBeside(const std::string& target, std::string* path, std::string* problem) {
    std::string name = TemplateFor(target);
    if (::mkdtemp(&name[0]) == nullptr) {
        return *problem = "cannot create a folder beside " + target + ": " + LastFileErrorText(), false;
    }
    *path = name;
    return true;
}

bool CopyAccessRights(const std::string& model, const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = CopyRightsTo(fd, model, false);
    ::close(fd);
    return ok;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RemoveFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

unsigned long long FreeBytesIn(const std::string& folder) {
    struct statvfs st;
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &st) != 0) return ~0ull;
    return static_cast<unsigned long long>(st.f_bavail) * st.f_frsize;
}

std::string LastFileErrorText() {
    int error = errno;
    if (error == 0) return std::string();
    if (error == ENOSPC) return "the disk is full";
    if (error == EDQUOT) return "the disk quota is used up";
    return std::strerror(error);
}

namespace {

// Past the largest map file the format allows (a few terabytes), well inside off_t.
const off_t kLockByte = off_t(1) << 62;
const int kLockRetryMs = 50;

// The one byte every writer locks, far past any map's end.
struct flock LockRecord(short type) {
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kLockByte;
    lock.l_len = 1;
    return lock;
}

bool SetLock(int fd, short type) {
    struct flock lock = LockRecord(type);
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

// EACCES also comes from file systems that refuse locks for reasons of their own; only a
// lock another process holds, as F_GETLK sees it, makes the file busy.
bool HeldByAnother(int fd) {
    if (errno == EAGAIN) return true;
    if (errno != EACCES) return false;
    struct flock lock = LockRecord(F_WRLCK);
    return ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

}  // namespace

LockOutcome LockForWriting(std::FILE* file, int waitMs, std::string* why) {
    int fd = ::fileno(file);
    for (int waited = 0;; waited += kLockRetryMs) {
        if (SetLock(fd, F_WRLCK)) return LockOutcome::kTaken;
        if (!HeldByAnother(fd)) return *why = std::strerror(errno), LockOutcome::kFailed;
        if (waited >= waitMs) return LockOutcome::kBusy;
        struct timespec pause = {0, kLockRetryMs * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

void UnlockForWriting(std::FILE* file) { SetLock(::fileno(file), F_UNLCK); }

bool StillNamedBy(std::FILE* file, const std::string& path) {
    struct stat open, named;
    if (::fstat(::fileno(file), &open) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

namespace {

// Whether the file is a temporary whose writer is gone: nobody holds its write lock (the
// lock is taken while `fd` is open, so it is removed under the lock), and it is old enough
// that its writer cannot be between creating it and locking it.
bool IsStaleTemporary(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (std::difftime(std::time(nullptr), st.st_mtime) < kStaleTemporarySeconds) return false;
    return SetLock(fd, F_WRLCK);
}

}  // namespace

int RemoveStaleFilesBeside(const std::string& target) {
    size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string prefix = (slash == std::string::npos ? target : target.substr(slash + 1)) + ".zolva-";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    int removed = 0;
    while (const struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string path = (slash == std::string::npos ? "" : folder) + name;
        int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (IsStaleTemporary(fd) && ::unlink(path.c_str()) == 0) ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}
