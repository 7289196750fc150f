// The write lock every writer of a map takes: saves, and tools that replace a map.
#include <cerrno>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"

namespace mapfile {

namespace {
// Renamed over while we waited: the lock is taken again on the file that now has the name.
const int kReplacedAttempts = 3;
}  // namespace

// A file system without record locks leaves the map unlocked rather than unwritable.
std::FILE* OpenLockedForWriting(const std::string& path, std::string* error) {
    for (int attempt = 0; attempt < kReplacedAttempts; ++attempt) {
        std::string why;
        std::FILE* file = OpenRegularFile(path, "r+b", &why);
        if (file == nullptr) return SetError(error, "cannot open map file " + path + " for saving: " + why), nullptr;
        LockOutcome lock = LockForWriting(file, kMapWriteWaitMs);
        if (lock == LockOutcome::kFailed) return file;
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

MapWriteLock::~MapWriteLock() {
    if (file_ != nullptr) mapfile::CloseLocked(file_);
}

// A map this program may not write in place is replaced (through its folder) unlocked:
// no save can be under way in it either.
bool MapWriteLock::Acquire(const std::string& path, std::string* error) {
    if (file_ != nullptr) return true;
    std::string why;
    std::FILE* probe = OpenRegularFile(path, "r+b", &why);
    int cause = errno;
    if (probe == nullptr) {
        if (cause == ENOENT || cause == EACCES || cause == EPERM || cause == EROFS) return true;
        return mapfile::SetError(error, "cannot open map file " + path + ": " + why), false;
    }
    std::fclose(probe);
    file_ = mapfile::OpenLockedForWriting(path, error);
    return file_ != nullptr;
}
