// Save sessions appended to an existing map.
#include <algorithm>
#include <cstring>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"

using namespace mapfile;

namespace {

// Positions the file where a new session goes: over an interrupted save's remains, or
// after damaged data (kept, since it may be recoverable), at the next 4-byte offset.
bool PrepareSessionStart(std::FILE* file, uint64_t committedEnd, bool tailIsInterruptedSave, uint64_t fileSize,
                         uint64_t* start) {
    if (tailIsInterruptedSave) {
        *start = committedEnd;
        if (fileSize > *start && !TruncateTo(file, *start)) return false;
        return SeekTo(file, *start);
    }
    *start = (fileSize + 3) / 4 * 4;
    const uint8_t zeros[4] = {0, 0, 0, 0};
    return SeekTo(file, fileSize) && WriteAll(file, zeros, static_cast<size_t>(*start - fileSize)) &&
           SeekTo(file, *start);
}

}  // namespace

// ---- saves ----

struct MapSaveSession::Impl {
    struct Copy {
        uint64_t offset;  // of the samples
        uint32_t checksum;
    };

    std::FILE* file = nullptr;
    std::string path;
    MapHeader header;
    uint64_t sessionStart = 0;
    // The file's size before the save: below sessionStart when the map's first save is
    // cut short and the new save goes where that save should have ended.
    uint64_t restoreSize = 0;
    uint32_t count = 0;
    uint32_t crc = 0;
    bool failed = false;
    bool committed = false;
    std::map<int32_t, Copy> newest;  // the newest stored copy of each block
    std::vector<std::pair<int32_t, Copy>> written;  // by this save, in order
    const MapFileReader* basis = nullptr;  // the reader whose view this save continues
    uint64_t endAfterCommit = 0;
    std::vector<uint8_t> scratch;
    std::vector<int16_t> edge;
    std::vector<uint8_t> compare;

    uint64_t end() const { return sessionStart + count * kBlockRecordBytes; }
    // Whether the newest stored copy of the block holds exactly these bytes. Reads it
    // only when the checksums agree; a failed read counts as different.
    bool StoredAlready(int32_t code, const uint8_t* stored, uint32_t checksum);
};

bool MapSaveSession::Impl::StoredAlready(int32_t code, const uint8_t* stored, uint32_t checksum) {
    auto found = newest.find(code);
    if (found == newest.end() || found->second.checksum != checksum) return false;
    compare.resize(kMapBlockBytes);
    bool same = ReadAt(file, found->second.offset, compare.data(), compare.size()) &&
                std::memcmp(compare.data(), stored, kMapBlockBytes) == 0;
    return SeekTo(file, end()) && same;
}

MapSaveSession::MapSaveSession() = default;

MapSaveSession::~MapSaveSession() {
    if (!impl_ || impl_->file == nullptr) return;
    // Nothing of an uncommitted save was ever visible; take its bytes back off the file.
    if (!impl_->committed) TruncateTo(impl_->file, impl_->restoreSize);
    CloseLocked(impl_->file);
}

namespace {

bool SameHeader(const MapHeader& a, const MapHeader& b) {
    uint8_t x[kHeaderBytes], y[kHeaderBytes];
    EncodeHeader(a, x);
    EncodeHeader(b, y);
    return std::memcmp(x, y, sizeof x) == 0;
}

}  // namespace

bool MapSaveSession::Begin(const std::string& path, std::string* error) {
    if (impl_) return SetError(error, "a save of " + impl_->path + " is already in progress"), false;
    std::FILE* file = OpenLockedForWriting(path, error);
    if (file == nullptr) return false;
    return BeginScanned(file, path, nullptr, error);
}

// The reader's view still holds when its file still carries the name and nothing was
// committed since; a save based on an older view would overwrite another program's save.
bool MapSaveSession::Begin(const std::string& path, const MapFileReader& known, std::string* error) {
    if (impl_) return SetError(error, "a save of " + impl_->path + " is already in progress"), false;
    std::FILE* file = OpenLockedForWriting(path, error);
    if (file == nullptr) return false;
    if (!known.file_ || !StillNamedBy(known.file_.get(), path)) {
        CloseLocked(file);
        return SetError(error, "map file " + path + " was replaced by another program since it was opened; nothing " +
                                   "was written. Open it again to save over it"),
               false;
    }
    auto impl = std::make_unique<Impl>();
    std::string problem;
    uint64_t fileSize = 0;
    bool unchanged = ReadHeader(file, &impl->header, &problem) && SameHeader(impl->header, known.header_) &&
                     SizeOf(file, &fileSize) && fileSize == known.fileSize_;
    if (!unchanged) return BeginScanned(file, path, &known, error);
    for (const auto& entry : known.blocks_) {
        impl->newest[entry.first] = Impl::Copy{entry.second.offset, entry.second.checksum};
    }
    impl->basis = &known;
    return Start(std::move(impl), file, path, known.committedEnd_, known.tailIsInterruptedSave_, fileSize, error);
}

bool MapSaveSession::BeginScanned(std::FILE* file, const std::string& path, const MapFileReader* known,
                                  std::string* error) {
    auto impl = std::make_unique<Impl>();
    ScanResult scan;
    uint64_t fileSize = 0;
    std::string problem;
    if (!ScanFile(file, false, &impl->header, &scan, &fileSize, &problem)) {
        CloseLocked(file);
        return SetError(error, "map file " + path + ": " + problem), false;
    }
    if (known != nullptr && scan.committedEnd != known->committedEnd_) {
        CloseLocked(file);
        return SetError(error, "map file " + path + " was saved by another program since it was opened (its saves " +
                                   "now end at offset " + Offset(scan.committedEnd) + ", not " +
                                   Offset(known->committedEnd_) + "); nothing was written. Open it again to save "
                                   "over that save"),
               false;
    }
    for (const ScannedBlock& block : scan.committed) {
        impl->newest[block.code] = Impl::Copy{block.offset, block.checksum};
    }
    return Start(std::move(impl), file, path, scan.committedEnd, scan.tailIsInterruptedSave, fileSize, error);
}

bool MapSaveSession::Start(std::unique_ptr<Impl> impl, std::FILE* file, const std::string& path,
                           uint64_t committedEnd, bool tailIsInterruptedSave, uint64_t fileSize, std::string* error) {
    if (!PrepareSessionStart(file, committedEnd, tailIsInterruptedSave, fileSize, &impl->sessionStart)) {
        CloseLocked(file);
        return SetError(error, "map file " + path + ": cannot prepare the file for a new save"), false;
    }
    impl->restoreSize = tailIsInterruptedSave ? std::min(fileSize, impl->sessionStart) : impl->sessionStart;
    impl->file = file;
    impl->path = path;
    impl_ = std::move(impl);
    return true;
}

bool MapSaveSession::Append(int32_t code, const int16_t* samples, std::string* error) {
    if (!impl_ || impl_->committed) return SetError(error, "no save in progress"), false;
    Impl& impl = *impl_;
    if (impl.failed) return SetError(error, "an earlier block of this save failed"), false;
    if (code < 0) {
        impl.failed = true;
        return SetError(error, "block code " + std::to_string(code) + " is not a block of any map"), false;
    }
    if (!CodeInGrid(impl.header, code)) return true;
    const uint8_t* stored = CanonicalStored(impl.header, code, samples, &impl.edge, &impl.scratch);
    uint32_t checksum = BlockChecksum(code, stored);
    if (impl.StoredAlready(code, stored, checksum)) return true;
    uint64_t offset = impl.end() + kBlockHeaderBytes;
    if (impl.count == UINT32_MAX || !SeekTo(impl.file, impl.end()) ||
        !WriteStoredBlockRecord(impl.file, code, stored, checksum, &impl.crc)) {
        impl.failed = true;
        return SetError(error, "cannot write block " + std::to_string(code) + " to " + impl.path), false;
    }
    ++impl.count;
    impl.newest[code] = Impl::Copy{offset, checksum};
    impl.written.emplace_back(code, Impl::Copy{offset, checksum});
    return true;
}

bool MapSaveSession::Commit(std::string* error) {
    if (!impl_ || impl_->committed) return SetError(error, "no save in progress"), false;
    Impl& impl = *impl_;
    if (impl.failed || (impl.count > 0 && !WriteCommit(impl.file, impl.count, impl.sessionStart, impl.crc))) {
        std::string reason = impl.failed ? "the save was abandoned after a block failed" : "cannot commit the save";
        // Take the save's bytes back now, so that the file is as it was when this returns.
        bool restored = TruncateTo(impl.file, impl.restoreSize);
        CloseLocked(impl.file);
        impl.file = nullptr;
        impl.failed = true;
        return SetError(error, reason + (restored ? "; nothing was written to " : "; the unfinished save stays invisible in ") +
                                   impl.path),
               false;
    }
    impl.committed = true;
    impl.endAfterCommit = impl.count > 0 ? impl.end() + kCommitBytes : impl.restoreSize;
    bool closed = CloseLocked(impl.file);
    impl.file = nullptr;
    if (!closed) return SetError(error, "cannot close " + impl.path + " after saving"), false;
    return true;
}

uint32_t MapSaveSession::written() const { return impl_ ? impl_->count : 0; }

bool MapFileReader::TakeSave(const MapSaveSession& session) {
    const MapSaveSession::Impl* save = session.impl_.get();
    if (save == nullptr || !save->committed || save->basis != this) return false;
    if (!save->written.empty()) saves_.emplace_back();
    for (const auto& copy : save->written) {
        blocks_[copy.first] = BlockCopy{copy.second.offset, copy.second.checksum};
        saves_.back().push_back(copy.first);
    }
    fileSize_ = save->endAfterCommit;
    if (save->count > 0) {
        committedEnd_ = save->endAfterCommit;
        tailIsInterruptedSave_ = true;
    }
    return true;
}
