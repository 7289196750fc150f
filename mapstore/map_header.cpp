// The map header's second copy, and opening a map whose header is damaged: from the copy,
// or, where a map has none, by mending one damaged byte through the header's checksum.
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

}  // namespace mapfile
