// The session scanner: walks a map file's saves and finds the committed block copies,
// skipping torn and damaged stretches.
#include <algorithm>

#include "mapstore/map_format.h"

namespace mapfile {
namespace {

const size_t kSearchChunkBytes = 1 << 16;

// Walks the sessions after the header. Reads samples only when verifying them.
class SessionScanner {
public:
    SessionScanner(std::FILE* file, uint64_t fileSize, bool verifySamples)
        : file_(file), fileSize_(fileSize), verify_(verifySamples) {}

    // False on a read error.
    bool Run(ScanResult* result);
    // How many blocks the map's first save holds, the header claiming `claimed`;
    // `confirmed` when a commit record says so too.
    bool FirstSaveBlocks(uint32_t claimed, uint64_t* blocks, bool* confirmed);
    bool ScanCreationSession(const MapHeader& h, uint64_t blocks, bool confirmed, ScanResult* result);

private:
    bool NamesFirstSave(uint64_t pos, uint64_t count, bool* names);
    void SkipHeaderCopy(ScanResult* result);
    bool ReadBlockRecord(uint64_t pos, ScannedBlock* block, uint8_t* head);
    bool SessionChecksOut(uint64_t commitPos, uint64_t minStart, uint64_t* start, bool* ok);
    bool FindSession(uint64_t from, uint64_t minStart, uint64_t* start, bool* found);
    bool Resynchronize(ScanResult* result, uint64_t* pos, bool* found);
    void BeginSession(uint64_t pos);

    std::FILE* file_;
    uint64_t fileSize_;
    bool verify_;
    std::vector<uint8_t> buffer_;
    std::vector<ScannedBlock> pending_;
    uint64_t sessionStart_ = 0;
    uint32_t sessionCrc_ = 0;
};

// Whether the commit record at `pos` closes the map's first save with `count` blocks. Its
// checksum is not asked: a damaged block record head in the save fails it, and must not
// hide how many blocks the save holds.
bool SessionScanner::NamesFirstSave(uint64_t pos, uint64_t count, bool* names) {
    *names = false;
    if (fileSize_ < pos + kCommitBytes) return true;
    uint8_t record[kCommitBytes];
    if (!ReadAt(file_, pos, record, sizeof record)) return false;
    *names = GetU32(record) == kCommitTag && GetU32(record + 4) == count && GetU64(record + 8) == kHeaderBytes &&
             GetU64(record + 16) == count * kBlockRecordBytes;
    return true;
}

// The header's count is taken when the commit record after that many records agrees.
// Otherwise the records are walked to the commit record that closes the save, so that a
// wrong count neither hides blocks nor swallows a later save; with none found (the
// commit record itself damaged) the header's count stands.
bool SessionScanner::FirstSaveBlocks(uint32_t claimed, uint64_t* blocks, bool* confirmed) {
    *blocks = claimed;
    *confirmed = false;
    if (claimed > 0 && !NamesFirstSave(kHeaderBytes + claimed * kBlockRecordBytes, claimed, confirmed)) return false;
    if (*confirmed) return true;
    for (uint64_t j = 0; kHeaderBytes + j * kBlockRecordBytes + kCommitBytes <= fileSize_; ++j) {
        uint64_t pos = kHeaderBytes + j * kBlockRecordBytes;
        uint8_t tag[4];
        if (!ReadAt(file_, pos, tag, sizeof tag)) return false;
        if (GetU32(tag) == kBlockTag) continue;
        bool names = false;
        if (!NamesFirstSave(pos, j, &names)) return false;
        if (names) return *blocks = j, *confirmed = true, true;
        if (j >= claimed) break;  // before that, a damaged record tag inside the save
    }
    return true;
}

// The session written when the map was made lies at a known place and was written whole,
// so each of its records stands on its own checksum. Its commit record is not needed.
// A file cut short inside it still ends the session where it should have ended, so that
// a later save never lands where these records belong.
bool SessionScanner::ScanCreationSession(const MapHeader& h, uint64_t blocks, bool confirmed, ScanResult* result) {
    for (uint64_t i = 0; i < blocks; ++i) {
        uint64_t pos = kHeaderBytes + i * kBlockRecordBytes;
        if (fileSize_ < pos + kBlockRecordBytes) {
            result->warnings.push_back("the map's first save is cut short at offset " + Offset(fileSize_) + ": " +
                                       std::to_string(blocks - i) + " of its " + std::to_string(blocks) +
                                       " blocks are missing");
            result->damaged = true;
            break;
        }
        uint8_t head[kBlockHeaderBytes];
        ScannedBlock block;
        if (!ReadBlockRecord(pos, &block, head)) return false;
        result->committed.push_back(block);
    }
    result->sessionSizes.push_back(result->committed.size());
    uint64_t commitPos = kHeaderBytes + blocks * kBlockRecordBytes;
    result->committedEnd = commitPos + kCommitBytes;
    uint64_t start = 0;
    bool whole = false;
    if (confirmed && !SessionChecksOut(commitPos, kHeaderBytes, &start, &whole)) return false;
    uint8_t word[4];
    if (whole && !ReadAt(file_, commitPos + 24, word, sizeof word)) return false;
    if (whole) result->voidWord = GetU32(word);
    if (!whole && fileSize_ >= result->committedEnd) {
        result->warnings.push_back("the commit record of the map's first save at offset " + Offset(commitPos) +
                                   " is damaged, or a block record head of that save is; each of its " +
                                   std::to_string(blocks) + " blocks is read on its own checksum");
    }
    SkipHeaderCopy(result);
    // Maps made before the header had a copy never had a void value either.
    bool cutBeforeCopy = fileSize_ < commitPos + kCommitBytes + kHeaderCopyBytes;
    bool mayHaveVoid = h.formatVersion == kFormatVersion1 && (result->headerCopyAt != 0 || cutBeforeCopy);
    uint32_t mended = 0;
    if (!whole && mayHaveVoid && MendFirstCommitWord(file_, fileSize_, h, blocks, &mended)) {
        result->voidWord = mended;
    } else {
        result->voidValueUnreadable = !whole && mayHaveVoid;
    }
    if (!whole && fileSize_ >= commitPos && fileSize_ < commitPos + kCommitBytes) {
        result->warnings.push_back("the map's first save is cut short in its commit record at offset " +
                                   Offset(commitPos) + "; its blocks are whole");
    }
    return true;
}

// The header's copy follows the first save. It is known by its contents, which check out
// on their own, so a damaged tag does not make it look like damaged save data.
void SessionScanner::SkipHeaderCopy(ScanResult* result) {
    uint64_t at = result->committedEnd;
    uint8_t copy[kHeaderCopyBytes];
    if (fileSize_ < at + kHeaderCopyBytes || !ReadAt(file_, at, copy, sizeof copy)) return;
    MapHeader h;
    bool intact = DecodeHeaderCopy(copy, &h);
    if (!intact && GetU32(copy) != kHeaderCopyTag) return;
    if (!intact || GetU32(copy) != kHeaderCopyTag || GetU32(copy + 4) != 0) {
        result->warnings.push_back("the header's copy at offset " + Offset(at) + " is damaged; the header is intact");
    }
    result->headerCopyAt = at;
    result->committedEnd = at + kHeaderCopyBytes;
}

void SessionScanner::BeginSession(uint64_t pos) {
    pending_.clear();
    sessionStart_ = pos;
    sessionCrc_ = 0;
}

bool SessionScanner::ReadBlockRecord(uint64_t pos, ScannedBlock* block, uint8_t* head) {
    if (!ReadAt(file_, pos, head, kBlockHeaderBytes)) return false;
    block->code = static_cast<int32_t>(GetU32(head + 4));
    block->checksum = GetU32(head + 8);
    block->offset = pos + kBlockHeaderBytes;
    block->intact = true;
    if (!verify_) return true;
    buffer_.resize(kMapBlockBytes);
    if (std::fread(buffer_.data(), 1, kMapBlockBytes, file_) != kMapBlockBytes) return false;
    block->intact = BlockChecksum(block->code, buffer_.data()) == block->checksum;
    return true;
}

// Whether a whole session ends with the commit record at commitPos; false on a read error.
bool SessionScanner::SessionChecksOut(uint64_t commitPos, uint64_t minStart, uint64_t* start, bool* ok) {
    *ok = false;
    uint8_t record[kCommitBytes];
    if (fileSize_ - commitPos < kCommitBytes) return true;
    if (!ReadAt(file_, commitPos, record, kCommitBytes)) return false;
    uint64_t count = GetU32(record + 4);
    *start = GetU64(record + 8);
    if (*start < minStart || *start > commitPos || *start % 4 != 0) return true;
    uint64_t bytes = commitPos - *start;
    if (GetU64(record + 16) != bytes || bytes % kBlockRecordBytes != 0) return true;
    if (bytes / kBlockRecordBytes != count) return true;
    uint32_t crc = 0;
    for (uint64_t i = 0; i < count; ++i) {
        uint8_t head[kBlockHeaderBytes];
        if (!ReadAt(file_, *start + i * kBlockRecordBytes, head, sizeof head)) return false;
        if (GetU32(head) != kBlockTag) return true;
        crc = Crc32(crc, head, sizeof head);
    }
    *ok = GetU32(record + kCommitCrcOffset) == Crc32(crc, record, kCommitCrcOffset);
    return true;
}

// Searches commit records at 4-byte offsets from `from` for the first whole session
// starting at or after minStart. False only on a read error.
bool SessionScanner::FindSession(uint64_t from, uint64_t minStart, uint64_t* start, bool* found) {
    *found = false;
    std::vector<uint8_t> chunk(kSearchChunkBytes);
    for (uint64_t base = from; base < fileSize_ && fileSize_ - base >= 4; base += kSearchChunkBytes) {
        size_t size = static_cast<size_t>(std::min<uint64_t>(kSearchChunkBytes, fileSize_ - base));
        if (!ReadAt(file_, base, chunk.data(), size)) return false;
        for (size_t i = 0; i + 4 <= size; i += 4) {
            if (GetU32(&chunk[i]) != kCommitTag) continue;
            if (!SessionChecksOut(base + i, minStart, start, found)) return false;
            if (*found) return true;
        }
    }
    return true;
}

// After damage at *pos: moves *pos to the next whole session, if there is one. The
// session may start before *pos (records misread as part of a damaged one), never
// before the last accepted commit, and its commit record lies at or after *pos.
bool SessionScanner::Resynchronize(ScanResult* result, uint64_t* pos, bool* found) {
    uint64_t start = 0;
    if (!FindSession(*pos, result->committedEnd, &start, found)) return false;
    result->damaged = true;
    if (!*found) {
        result->warnings.push_back("damaged data from offset " + Offset(*pos) + " to the end ignored");
        return true;
    }
    result->warnings.push_back("damaged save data at offset " + Offset(*pos) +
                               " skipped; reading resumes at the save starting at offset " + Offset(start));
    *pos = start;
    BeginSession(start);
    return true;
}

bool SessionScanner::Run(ScanResult* result) {
    uint64_t pos = result->committedEnd;
    bool damageAfterCommit = false;
    BeginSession(pos);
    while (pos < fileSize_ && fileSize_ - pos >= 4) {
        uint8_t head[kBlockHeaderBytes];
        if (!ReadAt(file_, pos, head, 4)) return false;
        uint32_t tag = GetU32(head);
        if (tag == kBlockTag) {
            if (fileSize_ - pos < kBlockRecordBytes) break;
            ScannedBlock block;
            if (!ReadBlockRecord(pos, &block, head)) return false;
            sessionCrc_ = Crc32(sessionCrc_, head, kBlockHeaderBytes);
            pending_.push_back(block);
            pos += kBlockRecordBytes;
            continue;
        }
        if (tag == kCommitTag && fileSize_ - pos < kCommitBytes) break;
        if (tag == kCommitTag) {
            uint64_t start = 0;
            bool ok = false;
            if (!SessionChecksOut(pos, sessionStart_, &start, &ok)) return false;
            if (ok && start == sessionStart_ && pending_.size() == (pos - start) / kBlockRecordBytes) {
                result->committed.insert(result->committed.end(), pending_.begin(), pending_.end());
                result->sessionSizes.push_back(pending_.size());
                pos += kCommitBytes;
                result->committedEnd = pos;
                damageAfterCommit = false;
                BeginSession(pos);
                continue;
            }
        }
        // A save torn between its two barriers: the commit record's place, still zeros,
        // ends the file.
        if (tag == 0 && fileSize_ - pos == kCommitBytes) {
            uint8_t tail[kCommitBytes];
            if (!ReadAt(file_, pos, tail, sizeof tail)) return false;
            if (std::all_of(tail, tail + sizeof tail, [](uint8_t b) { return b == 0; })) break;
        }
        // An unknown tag, or a commit record that does not match its session.
        damageAfterCommit = true;
        bool found = false;
        if (!Resynchronize(result, &pos, &found)) return false;
        if (!found) break;
    }
    result->tailIsInterruptedSave = !damageAfterCommit;
    if (!damageAfterCommit && fileSize_ > result->committedEnd) {
        result->warnings.push_back("incomplete save of " + Offset(fileSize_ - result->committedEnd) +
                                   " bytes at offset " + Offset(result->committedEnd) + " ignored");
    }
    return true;
}

}  // namespace

namespace {

// The header and the map's first save; with `later`, every save after it too.
bool Scan(std::FILE* file, bool verifySamples, bool later, MapHeader* header, ScanResult* scan, uint64_t* fileSize,
          std::string* problem) {
    if (!SizeOf(file, fileSize)) return *problem = "cannot read the file size", false;
    if (!LoadHeader(file, *fileSize, header, &scan->warnings, problem)) return false;
    SessionScanner scanner(file, *fileSize, verifySamples);
    uint64_t blocks = 0;
    bool confirmed = false;
    uint32_t claimed = header->creationBlocks;
    // Each block of the grid is in the first save at most once; a larger count is damage
    // that slipped past the checksum, and the save's own commit record is asked instead.
    if (claimed > GridBlockCount(*header)) {
        scan->warnings.push_back("the header counts " + std::to_string(claimed) +
                                 " blocks in the map's first save, more than the grid holds; the count is not used");
        claimed = 0;
    }
    if (!scanner.FirstSaveBlocks(claimed, &blocks, &confirmed)) {
        return *problem = "read error while reading the map's first save", false;
    }
    if (confirmed && blocks != claimed && claimed > 0) {
        scan->warnings.push_back("the header counts " + std::to_string(header->creationBlocks) +
                                 " blocks in the map's first save, its commit record " + std::to_string(blocks) +
                                 "; the commit record's count is used");
    }
    if (blocks > 0 && !scanner.ScanCreationSession(*header, blocks, confirmed, scan)) {
        return *problem = "read error while reading the map's first save", false;
    }
    if (later && !scanner.Run(scan)) return *problem = "read error while scanning saves", false;
    if (header->formatVersion != kFormatVersion1) {
        scan->voidValueUnreadable = false;  // the header holds it
        return true;
    }
    DecodeVoidWord(scan->voidWord, header);
    if (scan->voidValueUnreadable) {
        scan->warnings.push_back(
            "the map's void value cannot be read: the commit record of its first save, which keeps it, is damaged "
            "or cut short, so voids (if the map has any) would read as heights. Export and compaction refuse the map; "
            "rebuild it with recover --void-value V, or --no-void-value when it has no voids");
    }
    return true;
}

}  // namespace

bool ScanFile(std::FILE* file, bool verifySamples, MapHeader* header, ScanResult* scan, uint64_t* fileSize,
              std::string* problem) {
    return Scan(file, verifySamples, true, header, scan, fileSize, problem);
}

bool ScanFirstSave(std::FILE* file, MapHeader* header, ScanResult* scan, uint64_t* fileSize, std::string* problem) {
    return Scan(file, false, false, header, scan, fileSize, problem);
}

}  // namespace mapfile
