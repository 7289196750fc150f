// The write lock every writer of a map takes: saves, and tools that replace a map.
#include <cerrno>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"

namespace mapfile {

namespace {
// Renamed over while we waited: the lock is taken again on the file that now has the name.
const int kReplacedAttempts = 3;
const char kCannotLock[] = "cannot lock map file ";
bool g_unlockedWritesAllowed = false;
}  // namespace

// A file system without record locks (some network mounts) cannot keep two writers apart:
// the write is refused unless this process was told to go on without the lock.
std::FILE* OpenLockedForWriting(const std::string& path, std::string* error) {
    for (int attempt = 0; attempt < kReplacedAttempts; ++attempt) {
        std::string why;
        std::FILE* file = OpenRegularFile(path, "r+b", &why);
        if (file == nullptr) return SetError(error, "cannot open map file " + path + " for saving: " + why), nullptr;
        LockOutcome lock = LockForWriting(file, kMapWriteWaitMs, &why);
        if (lock == LockOutcome::kFailed) {
            if (UnlockedWritesAllowed()) return file;
            std::fclose(file);
            return SetError(error, kCannotLock + path + " for writing (" + why +
                                       "): the file system may keep no record locks, as some network mounts do, "
                                       "so another program's write could not be kept out; nothing was written. "
                                       "If no other program writes this map meanwhile, it can be written without the lock"),
                   nullptr;
        }
        if (lock == LockOutcome::kBusy) {
            std::fclose(file);
            return SetError(error, "the map is being written by another program (" + path + "); nothing was written"),
                   nullptr;
        }
        if (StillNamedBy(file, path)) return file;
        CloseLocked(file);
    }
    return SetError(error, "map file " + path + " keeps being replaced by another program; nothing was written"),
           nullptr;
}

bool CloseLocked(std::FILE* file) {
    std::fflush(file);
    UnlockForWriting(file);
    return std::fclose(file) == 0;
}

}  // namespace mapfile

void AllowUnlockedWrites(bool allowed) { mapfile::g_unlockedWritesAllowed = allowed; }
bool UnlockedWritesAllowed() { return mapfile::g_unlockedWritesAllowed; }

bool IsLockUnavailableError(const std::string& error) {
    return error.find(mapfile::kCannotLock) != std::string::npos;
}

MapWriteLock::~MapWriteLock() {
    if (file_ != nullptr) mapfile::CloseLocked(file_);
}

// A map this program may not write is not replaced either, through its folder: that
// would take it from its owner, with no lock held against the owner's own writes.
bool MapWriteLock::Acquire(const std::string& path, std::string* error) {
    if (file_ != nullptr) return true;
    std::string why;
    std::FILE* probe = OpenRegularFile(path, "r+b", &why);
    int cause = errno;
    if (probe == nullptr) {
        if (cause == ENOENT) return true;
        if (cause == EACCES || cause == EPERM || cause == EROFS) {
            return mapfile::SetError(error, "this program may not write map file " + path + " (" + why +
                                                "), so it does not replace it either; nothing was written. "
                                                "Write the result under another name, or have the map's owner run it"),
                   false;
        }
        return mapfile::SetError(error, "cannot open map file " + path + ": " + why), false;
    }
    std::fclose(probe);
    file_ = mapfile::OpenLockedForWriting(path, error);
    return file_ != nullptr;
}
