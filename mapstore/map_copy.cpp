// A copy of a map as one reader saw it, for saving edits under a new name.
#include <algorithm>
#include <vector>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"

using namespace mapfile;

namespace {

const size_t kCopyChunkBytes = 1 << 20;

}  // namespace

// The reader's file stays open however it was renamed or replaced since, so this copies
// exactly what the reader read; the committed part ends with a commit record, so the
// copy is a whole map. Written beside the target and renamed into place when whole.
bool MapFileReader::CopyCommittedTo(const std::string& target, std::string* error) const {
    if (!file_) return SetError(error, "no map is open"), false;
    std::string temporary, problem;
    std::FILE* out = CreateFileBeside(target, &temporary, &problem);
    if (out == nullptr) return SetError(error, "cannot create " + target + ": " + problem), false;
    // A map whose first save is cut short ends before its committed part would: the copy
    // is cut the same way, and reads the same.
    uint64_t fileSize = 0;
    uint64_t end = SizeOf(file_.get(), &fileSize) ? std::min(committedEnd_, fileSize) : committedEnd_;
    std::vector<uint8_t> chunk(kCopyChunkBytes);
    bool ok = true;
    for (uint64_t at = 0; ok && at < end; at += chunk.size()) {
        size_t size = static_cast<size_t>(std::min<uint64_t>(chunk.size(), end - at));
        if (!ReadAt(file_.get(), at, chunk.data(), size)) {
            SetError(error, "cannot read " + path_ + " at offset " + Offset(at) + " any more");
            ok = false;
        } else if (!WriteAll(out, chunk.data(), size)) {
            SetError(error, "cannot write " + temporary + ": " + LastFileErrorText());
            ok = false;
        }
    }
    if (ok && !FlushToDisk(out)) {
        SetError(error, "cannot put " + temporary + " on disk: " + LastFileErrorText());
        ok = false;
    }
    std::fclose(out);
    if (ok) {
        // Never in the middle of another program's write of the target; the hold ends
        // before the rename, which Windows refuses over a file that is open.
        MapWriteLock lock;
        ok = lock.Acquire(target, error);
    }
    if (ok && !ReplaceFileAtomically(temporary, target)) {
        SetError(error, "cannot rename " + temporary + " to " + target + ": " + LastFileErrorText());
        ok = false;
    }
    if (!ok) RemoveFile(temporary);
    return ok;
}
