#include "mapstore/map_compaction.h"

#include <memory>
#include <vector>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"

using namespace mapfile;

namespace {

bool FileSize(const std::string& path, uint64_t* size) {
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (file == nullptr) return false;
    bool ok = SizeOf(file, size);
    std::fclose(file);
    return ok;
}

// Writes the reader's newest blocks as a whole map under a new unique name beside `path`.
bool WriteCompactCopy(const std::string& path, const MapFileReader& reader, std::string* copy, std::string* reason) {
    std::string problem;
    std::FILE* reserved = CreateFileBeside(path, copy, &problem);
    if (reserved == nullptr) return SetError(reason, problem), false;
    std::fclose(reserved);
    MapFileBuilder builder;
    std::vector<int16_t> block(kMapBlockSamples);
    bool ok = builder.Begin(*copy, reader.header(), reason);
    for (int32_t code : reader.BlockCodes()) {
        ok = ok && reader.ReadBlock(code, block.data(), reason) && builder.Add(code, block.data(), reason);
    }
    if (ok && builder.Finish(reason)) return true;
    RemoveFile(*copy);
    return false;
}

}  // namespace

uint64_t CompactMapBytes(uint64_t blocks) {
    return kHeaderBytes + blocks * kBlockRecordBytes + kCommitBytes + kHeaderCopyBytes;
}

CompactionOutcome CompactWastefulMap(const std::string& path, const MapFileReader& known,
                                     const std::function<void()>& release, std::string* reason) {
    uint64_t size = 0;
    if (!FileSize(path, &size)) return SetError(reason, "cannot read the size of " + path), CompactionOutcome::kLeftAlone;
    if (size <= 2 * CompactMapBytes(known.BlockCodes().size())) return CompactionOutcome::kNotNeeded;
    auto lock = std::make_unique<MapWriteLock>();
    if (!lock->Acquire(path, reason)) return CompactionOutcome::kLeftAlone;
    auto reader = std::make_unique<MapFileReader>();
    if (!reader->Open(path, reason)) return CompactionOutcome::kLeftAlone;
    if (reader->saves() != known.saves()) {
        return SetError(reason, path + " was saved by another program meanwhile"), CompactionOutcome::kLeftAlone;
    }
    std::vector<int32_t> unreadable;
    if (!reader->warnings().empty() || reader->UnreadableBlocks(0, &unreadable) > 0) {
        return SetError(reason, path + " holds damaged data, which a recovery may still need"),
               CompactionOutcome::kLeftAlone;
    }
    std::string copy;
    if (!WriteCompactCopy(path, *reader, &copy, reason)) return CompactionOutcome::kLeftAlone;
    reader.reset();
    lock.reset();
    release();
    if (ReplaceFileAtomically(copy, path)) return CompactionOutcome::kCompacted;
    SetError(reason, "cannot rename " + copy + " to " + path + ": " + LastFileErrorText());
    RemoveFile(copy);
    return CompactionOutcome::kLeftAlone;
}
