// The map header's second copy, and opening a map whose header is damaged: from the copy,
// or, where a map has none, by mending one damaged byte through the header's checksum.
// The same mend for the void value that version 1 maps keep in their first commit record.
#include <cstring>

#include "mapstore/map_format.h"

namespace mapfile {

void EncodeHeaderCopy(const MapHeader& h, uint8_t* out) {
    std::memset(out, 0, kHeaderCopyBytes);
    PutU32(out, kHeaderCopyTag);
    EncodeHeader(h, out + kHeaderCopyImageOffset);
}

bool DecodeHeaderCopy(const uint8_t* in, MapHeader* h) {
    std::string problem;
    return DecodeHeader(in + kHeaderCopyImageOffset, kHeaderBytes, h, &problem);
}

namespace {

// The copy follows the commit record that ends the map's first save. Walks the places of
// that save's block records from the header on and looks past every place that holds
// something else, so a damaged record tag on the way does not hide the copy.
bool FindHeaderCopy(std::FILE* file, uint64_t fileSize, MapHeader* h, uint64_t* at) {
    for (uint64_t pos = kHeaderBytes; pos + kCommitBytes + kHeaderCopyBytes <= fileSize; pos += kBlockRecordBytes) {
        uint8_t tag[4];
        if (!ReadAt(file, pos, tag, sizeof tag)) return false;
        if (GetU32(tag) == kBlockTag) continue;
        uint8_t copy[kHeaderCopyBytes];
        if (ReadAt(file, pos + kCommitBytes, copy, sizeof copy) && DecodeHeaderCopy(copy, h)) {
            *at = pos + kCommitBytes;
            return true;
        }
    }
    return false;
}

// One damaged byte: the checksum tells what it held when exactly one change of one byte
// gives a header that checks out. Two different one-byte changes never both pass a
// CRC-32C over so short a header, but the search makes sure rather than trust that.
bool MendHeader(const uint8_t* in, MapHeader* h, size_t* where) {
    uint8_t trial[kHeaderBytes];
    std::memcpy(trial, in, sizeof trial);
    int found = 0;
    for (size_t i = 0; i < kHeaderBytes; ++i) {
        const uint8_t original = trial[i];
        for (int value = 0; value < 256; ++value) {
            if (value == original) continue;
            trial[i] = static_cast<uint8_t>(value);
            MapHeader candidate;
            std::string problem;
            if (!DecodeHeader(trial, kHeaderBytes, &candidate, &problem)) continue;
            if (++found > 1) return false;
            *h = candidate;
            *where = i;
        }
        trial[i] = original;
    }
    return found == 1;
}

}  // namespace

bool LoadHeader(std::FILE* file, uint64_t fileSize, MapHeader* h, std::vector<std::string>* warnings,
                std::string* problem) {
    uint8_t in[kHeaderBytes];
    size_t got = SeekTo(file, 0) ? std::fread(in, 1, kHeaderBytes, file) : 0;
    if (DecodeHeader(in, got, h, problem)) return true;
    // A header that checks out says what its writer meant, however impossible.
    if (got < kHeaderBytes || GetU32(in + kHeaderCrcOffset) == Crc32(0, in, kHeaderCrcOffset)) return false;
    uint64_t at = 0;
    size_t where = 0;
    if (FindHeaderCopy(file, fileSize, h, &at)) {
        warnings->push_back("the header is damaged (" + *problem + "); its copy at offset " + Offset(at) + " is used");
        return true;
    }
    if (MendHeader(in, h, &where)) {
        warnings->push_back("the header is damaged (" + *problem + "); its byte at offset " + Offset(where) +
                            " was mended from the header's checksum");
        return true;
    }
    return false;
}

namespace {

// Whether the first commit record, the session checksum of its heads being `crc`, checks out.
bool CommitChecksOut(uint32_t crc, const uint8_t* record) {
    return GetU32(record + kCommitCrcOffset) == Crc32(crc, record, kCommitCrcOffset);
}

// One damaged byte of the record itself: exactly one change of one byte must check out.
bool MendCommitRecord(uint32_t crc, const uint8_t* in, uint32_t* word) {
    uint8_t trial[kCommitBytes];
    std::memcpy(trial, in, sizeof trial);
    int found = 0;
    for (size_t i = 0; i < kCommitCrcOffset; ++i) {
        const uint8_t original = trial[i];
        for (int value = 0; value < 256; ++value) {
            if (value == original) continue;
            trial[i] = static_cast<uint8_t>(value);
            if (!CommitChecksOut(crc, trial)) continue;
            if (++found > 1) return false;
            *word = GetU32(trial + 24);
        }
        trial[i] = original;
    }
    // Or in the checksum: the one the record's bytes give differs from it in one byte.
    uint8_t want[4];
    PutU32(want, Crc32(crc, in, kCommitCrcOffset));
    int differing = 0;
    for (size_t i = 0; i < 4; ++i) differing += want[i] != in[kCommitCrcOffset + i];
    if (differing == 1 && ++found == 1) *word = GetU32(in + 24);
    return found == 1;
}

}  // namespace

// The heads are first taken as they must be: the block tag, and where the save holds the
// whole grid, the codes in the order writers add blocks (row by row). A head whose
// checksum is what was damaged is then put right from its samples.
bool MendFirstCommitWord(std::FILE* file, uint64_t fileSize, const MapHeader& h, uint64_t blocks, uint32_t* word) {
    const uint64_t commitPos = kHeaderBytes + blocks * kBlockRecordBytes;
    uint8_t record[kCommitBytes];
    if (fileSize < commitPos + kCommitBytes || !ReadAt(file, commitPos, record, sizeof record)) return false;
    std::vector<int32_t> order;
    for (int32_t row0 = 0; blocks == GridBlockCount(h) && row0 < h.height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < h.width; col0 += kMapBlockSide) order.push_back(MapBlockCode(row0, col0));
    }
    std::vector<uint8_t> heads(blocks * kBlockHeaderBytes);
    for (uint64_t i = 0; i < blocks; ++i) {
        uint8_t* head = &heads[i * kBlockHeaderBytes];
        if (!ReadAt(file, kHeaderBytes + i * kBlockRecordBytes, head, kBlockHeaderBytes)) return false;
        PutU32(head, kBlockTag);
        if (!order.empty()) PutU32(head + 4, static_cast<uint32_t>(order[i]));
    }
    uint32_t crc = Crc32(0, heads.data(), heads.size());
    if (CommitChecksOut(crc, record)) return *word = GetU32(record + 24), true;
    if (MendCommitRecord(crc, record, word)) return true;
    std::vector<uint8_t> stored(kMapBlockBytes);
    for (uint64_t i = 0; i < blocks; ++i) {
        uint8_t* head = &heads[i * kBlockHeaderBytes];
        int32_t code = static_cast<int32_t>(GetU32(head + 4));
        if (!ReadAt(file, kHeaderBytes + i * kBlockRecordBytes + kBlockHeaderBytes, stored.data(), stored.size())) {
            return false;
        }
        uint32_t actual = BlockChecksum(code, stored.data());
        if (actual == GetU32(head + 8)) continue;
        uint8_t original[4];
        std::memcpy(original, head + 8, 4);
        PutU32(head + 8, actual);
        if (CommitChecksOut(Crc32(0, heads.data(), heads.size()), record)) return *word = GetU32(record + 24), true;
        std::memcpy(head + 8, original, 4);
    }
    return false;
}

}  // namespace mapfile
