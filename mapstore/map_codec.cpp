// Byte encoding of map files: little-endian fields, samples in file order, the header
// and the records; and the 64-bit file positions they are read and written at.
#include <cmath>
#include <cstring>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace mapfile {

void PutU32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16(uint8_t* out, uint16_t v) {
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
}
void PutU64(uint8_t* out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutF64(uint8_t* out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU64(out, bits);
}
uint16_t GetU16(const uint8_t* in) { return static_cast<uint16_t>(in[0] | in[1] << 8); }
uint32_t GetU32(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}
uint64_t GetU64(const uint8_t* in) { return uint64_t(GetU32(in)) | uint64_t(GetU32(in + 4)) << 32; }
double GetF64(const uint8_t* in) {
    uint64_t bits = GetU64(in);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

namespace {

bool HostIsLittleEndian() {
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

}  // namespace

const uint8_t* SamplesAsStored(const int16_t* samples, std::vector<uint8_t>* scratch) {
    if (HostIsLittleEndian()) return reinterpret_cast<const uint8_t*>(samples);
    scratch->resize(kMapBlockBytes);
    for (int i = 0; i < kMapBlockSamples; ++i) {
        uint16_t v = static_cast<uint16_t>(samples[i]);
        (*scratch)[2 * i] = static_cast<uint8_t>(v);
        (*scratch)[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return scratch->data();
}

void SamplesFromStored(const uint8_t* stored, int16_t* samples) {
    if (HostIsLittleEndian()) {
        std::memcpy(samples, stored, kMapBlockBytes);
        return;
    }
    for (int i = 0; i < kMapBlockSamples; ++i) {
        samples[i] = static_cast<int16_t>(uint16_t(stored[2 * i]) | uint16_t(stored[2 * i + 1]) << 8);
    }
}

// ---- 64-bit file positions ----

bool SeekTo(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
    return ::_fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool SizeOf(std::FILE* file, uint64_t* size) {
#ifdef _WIN32
    if (::_fseeki64(file, 0, SEEK_END) != 0) return false;
    long long end = ::_ftelli64(file);
#else
    if (::fseeko(file, 0, SEEK_END) != 0) return false;
    long long end = ::ftello(file);
#endif
    if (end < 0) return false;
    *size = static_cast<uint64_t>(end);
    return true;
}

bool TruncateTo(std::FILE* file, uint64_t size) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return ::_chsize_s(::_fileno(file), static_cast<long long>(size)) == 0;
#else
    return ::ftruncate(::fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

bool ExtendTo(std::FILE* file, uint64_t size) {
#ifdef _WIN32
    return ::_chsize_s(::_fileno(file), static_cast<long long>(size)) == 0;
#else
    return ::ftruncate(::fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

bool ReadAt(std::FILE* file, uint64_t offset, void* out, size_t size) {
    return SeekTo(file, offset) && std::fread(out, 1, size, file) == size;
}

bool WriteAll(std::FILE* file, const void* data, size_t size) {
    return std::fwrite(data, 1, size, file) == size;
}

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) *error = text;
}

std::string Offset(uint64_t offset) { return std::to_string(offset); }

// ---- header ----

std::string CheckHeaderValues(const MapHeader& h) {
    if (h.width <= 0 || h.width > kMaxMapColumns) return "impossible width " + std::to_string(h.width);
    if (h.height <= 0 || h.height > kMaxMapRows) return "impossible height " + std::to_string(h.height);
    if (!std::isfinite(h.cellLat) || !(h.cellLat > 0.0)) return "cell size north-south is not a positive number";
    if (!std::isfinite(h.cellLon) || !(h.cellLon > 0.0)) return "cell size east-west is not a positive number";
    if (!std::isfinite(h.originLat) || !std::isfinite(h.originLon)) return "origin is not a finite position";
    return std::string();
}

void EncodeHeader(const MapHeader& h, uint8_t* out) {
    std::memset(out, 0, kHeaderBytes);
    std::memcpy(out, kMagic, sizeof kMagic);
    PutU32(out + 8, kFormatVersion);
    PutU32(out + 12, kHeaderBytes);
    PutU32(out + 16, static_cast<uint32_t>(h.width));
    PutU32(out + 20, static_cast<uint32_t>(h.height));
    PutF64(out + 24, h.originLat);
    PutF64(out + 32, h.originLon);
    PutF64(out + 40, h.cellLat);
    PutF64(out + 48, h.cellLon);
    PutU32(out + 56, h.mapType);
    out[60] = h.mat != 0 ? 1 : 0;
    out[61] = h.hasVoidValue ? kHeaderHasVoidValue : 0;
    PutU16(out + 62, static_cast<uint16_t>(h.hasVoidValue ? h.voidValue : 0));
    PutU32(out + 64, h.creationBlocks);
    PutU32(out + kHeaderCrcOffset, Crc32(0, out, kHeaderCrcOffset));
}

bool DecodeHeader(const uint8_t* in, size_t got, MapHeader* h, std::string* problem) {
    if (got < sizeof kMagic) return *problem = "truncated header (" + std::to_string(got) + " bytes)", false;
    if (std::memcmp(in, kMagic, sizeof kMagic) != 0) return *problem = "wrong magic number: not a map file", false;
    if (got < 16) return *problem = "truncated header (" + std::to_string(got) + " bytes)", false;
    uint32_t version = GetU32(in + 8);
    if (version != kFormatVersion && version != kFormatVersion1) {
        return *problem = "unknown format version " + std::to_string(version) +
                          " (the map was written by a newer program; open it with that program)",
               false;
    }
    if (GetU32(in + 12) != kHeaderBytes) return *problem = "wrong header size", false;
    if (got < kHeaderBytes) return *problem = "truncated header (" + std::to_string(got) + " bytes)", false;
    if (GetU32(in + kHeaderCrcOffset) != Crc32(0, in, kHeaderCrcOffset)) {
        return *problem = "header checksum mismatch", false;
    }
    MapHeader decoded;
    decoded.width = static_cast<int32_t>(GetU32(in + 16));
    decoded.height = static_cast<int32_t>(GetU32(in + 20));
    decoded.originLat = GetF64(in + 24);
    decoded.originLon = GetF64(in + 32);
    decoded.cellLat = GetF64(in + 40);
    decoded.cellLon = GetF64(in + 48);
    decoded.mapType = GetU32(in + 56);
    decoded.formatVersion = version;
    if (version == kFormatVersion1) {
        decoded.mat = GetU32(in + 60);
    } else {
        if ((in[61] & ~kHeaderHasVoidValue) != 0) return *problem = "unknown header flags " + std::to_string(in[61]), false;
        decoded.mat = in[60];
        decoded.hasVoidValue = (in[61] & kHeaderHasVoidValue) != 0;
        decoded.voidValue = decoded.hasVoidValue ? static_cast<int16_t>(GetU16(in + 62)) : 0;
    }
    decoded.creationBlocks = GetU32(in + 64);
    *problem = CheckHeaderValues(decoded);
    if (!problem->empty()) return false;
    *h = decoded;
    return true;
}

bool ReadHeader(std::FILE* file, MapHeader* h, std::string* problem) {
    uint8_t in[kHeaderBytes];
    size_t got = SeekTo(file, 0) ? std::fread(in, 1, kHeaderBytes, file) : 0;
    return DecodeHeader(in, got, h, problem);
}

uint64_t GridBlockCount(const MapHeader& h) {
    if (h.width <= 0 || h.height <= 0) return 0;
    uint64_t rows = (static_cast<uint64_t>(h.height) + kMapBlockSide - 1) / kMapBlockSide;
    uint64_t columns = (static_cast<uint64_t>(h.width) + kMapBlockSide - 1) / kMapBlockSide;
    return rows * columns;
}

bool CodeInGrid(const MapHeader& h, int32_t code) {
    int32_t row = 0;
    int32_t col = 0;
    return MapBlockOrigin(code, &row, &col) && row < h.height && col < h.width;
}

// ---- records ----

bool WriteStoredBlockRecord(std::FILE* file, int32_t code, const uint8_t* stored, uint32_t checksum,
                            uint32_t* sessionCrc) {
    uint8_t head[kBlockHeaderBytes];
    PutU32(head, kBlockTag);
    PutU32(head + 4, static_cast<uint32_t>(code));
    PutU32(head + 8, checksum);
    *sessionCrc = Crc32(*sessionCrc, head, sizeof head);
    return WriteAll(file, head, sizeof head) && WriteAll(file, stored, kMapBlockBytes);
}

namespace {

const uint32_t kVoidValueFlag = 1u << 16;

void EncodeCommit(uint32_t count, uint64_t start, uint32_t sessionCrc, uint32_t word, uint8_t* out) {
    std::memset(out, 0, kCommitBytes);
    PutU32(out, kCommitTag);
    PutU32(out + 4, count);
    PutU64(out + 8, start);
    PutU64(out + 16, count * kBlockRecordBytes);
    PutU32(out + 24, word);
    PutU32(out + kCommitCrcOffset, Crc32(sessionCrc, out, kCommitCrcOffset));
}

}  // namespace

// The file is first extended over the commit record's place, so that the blocks and the
// new size go to disk together in the first barrier, and the second barrier carries the
// record's own bytes only. A save torn between the two ends in a commit-sized stretch of
// zeros, which readers take as the interrupted save it is.
uint32_t EncodeVoidWord(const MapHeader& h) {
    return h.hasVoidValue ? kVoidValueFlag | static_cast<uint16_t>(h.voidValue) : 0;
}

// Flags other than the one known are left alone: a later writer's, not damage (the word
// passed the record's checksum).
void DecodeVoidWord(uint32_t word, MapHeader* h) {
    h->hasVoidValue = (word & kVoidValueFlag) != 0;
    h->voidValue = h->hasVoidValue ? static_cast<int16_t>(word & 0xFFFF) : 0;
}

bool WriteCommit(std::FILE* file, uint32_t count, uint64_t start, uint32_t sessionCrc, uint32_t word) {
    uint8_t record[kCommitBytes];
    EncodeCommit(count, start, sessionCrc, word, record);
    const uint64_t at = start + count * kBlockRecordBytes;
    return std::fflush(file) == 0 && ExtendTo(file, at + kCommitBytes) && FlushToDisk(file) && SeekTo(file, at) &&
           WriteAll(file, record, sizeof record) && FlushDataToDisk(file);
}

}  // namespace mapfile

// Codes are defined for rows below kMaxMapRows and columns below kMaxMapColumns; any
// other position yields -1.
int32_t MapBlockCode(int32_t row, int32_t col) {
    if (row < 0 || col < 0 || row >= kMaxMapRows || col >= kMaxMapColumns) return -1;
    int32_t r = row / kMapBlockSide;
    int32_t c = col / kMapBlockSide;
    return (r / 100) * 1000000 + (c / 100) * 10000 + (r % 100) * 100 + (c % 100);
}

bool MapBlockOrigin(int32_t code, int32_t* row, int32_t* col) {
    if (code < 0) return false;
    int32_t r = (code / 1000000) * 100 + (code / 100) % 100;
    int32_t c = ((code / 10000) % 100) * 100 + code % 100;
    *row = r * kMapBlockSide;
    *col = c * kMapBlockSide;
    return true;
}
