// Map file layout. Integers are little-endian, doubles IEEE-754 binary64 little-endian.
// Every record's size is a multiple of 4, so every record starts on a 4-byte offset.
//
//   Header, 72 bytes
//      0  magic "ZOLVAMAP"
//      8  u32 format version (1)
//     12  u32 header size (72)
//     16  i32 width, i32 height
//     24  f64 originLat, originLon, cellLat, cellLon
//     56  u32 mapType, u32 mat, u32 reserved (0)
//     68  u32 CRC-32C of bytes 0..67
//
//   Then save sessions, one after another: block records followed by one commit record.
//
//   Block record, 12 + 204800 bytes
//      0  tag "ZBLK"
//      4  i32 block code
//      8  u32 CRC-32C of the code's 4 bytes followed by the samples
//     12  320 x 320 int16 samples, row by row (cells outside the grid hold 0)
//
//   Commit record, 32 bytes
//      0  tag "ZCMT"
//      4  u32 number of block records in the session
//      8  u64 file offset of the session's first record
//     16  u64 bytes of block records in the session
//     24  u32 reserved (0)
//     28  u32 CRC-32C of the session's 12-byte block record headers, in order, followed by
//         bytes 0..27 of this record
//
// The commit checksum covers each block's checksum rather than its samples, so a damaged
// sample costs only that copy of that block (the previous copy is used), never the save.
// A saver flushes the block records to disk before it writes the commit record, then
// flushes again. Readers skip damaged stretches by searching 4-byte offsets for the next
// commit record whose whole session checks out.
#include "devhost/store/map_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "devhost/store/file_io.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const char kMagic[8] = {'Z', 'O', 'L', 'V', 'A', 'M', 'A', 'P'};
const uint32_t kFormatVersion = 1;
const uint32_t kHeaderBytes = 72;
const uint32_t kHeaderCrcOffset = 68;
const uint32_t kBlockTag = 0x4B4C425A;   // "ZBLK"
const uint32_t kCommitTag = 0x544D435A;  // "ZCMT"
const uint32_t kBlockHeaderBytes = 12;
const uint64_t kBlockRecordBytes = kBlockHeaderBytes + kMapBlockBytes;
const uint32_t kCommitBytes = 32;
const uint32_t kCommitCrcOffset = 28;
const size_t kSearchChunkBytes = 1 << 16;

// ---- CRC-32C (Castagnoli, reflected) ----
// CRC-32C rather than the IEEE polynomial because x86-64 computes it in hardware, which
// keeps checksumming well below the cost of the writes themselves.

const uint32_t kCrc32cPolynomial = 0x82F63B78u;

struct CrcTables {
    uint32_t t[8][256];
    CrcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? kCrc32cPolynomial ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
        }
    }
};

// Eight bytes per step through eight tables; works on the complemented register.
uint32_t Crc32cSoftware(uint32_t crc, const uint8_t* p, size_t size) {
    static const CrcTables tables;
    const uint32_t(&t)[8][256] = tables.t;
    while (size >= 8) {
        uint32_t lo = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                             uint32_t(p[3]) << 24);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ZOLVA_HAVE_CRC32C_INSTRUCTION 1
// x86 is little-endian, so 8-byte loads feed the bytes in file order.
__attribute__((target("sse4.2"))) uint32_t Crc32cHardware(uint32_t crc, const uint8_t* p, size_t size) {
    uint64_t c = crc;
    while (size >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        c = __builtin_ia32_crc32di(c, word);
        p += 8;
        size -= 8;
    }
    uint32_t c32 = static_cast<uint32_t>(c);
    while (size-- > 0) c32 = __builtin_ia32_crc32qi(c32, *p++);
    return c32;
}

bool HasCrc32cInstruction() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse4.2") != 0;
    }();
    return has;
}
#endif

// Continues a CRC: Crc32(Crc32(0, a), b) == Crc32(0, a + b).
uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
#ifdef ZOLVA_HAVE_CRC32C_INSTRUCTION
    if (HasCrc32cInstruction()) return ~Crc32cHardware(~crc, p, size);
#endif
    return ~Crc32cSoftware(~crc, p, size);
}

// ---- little-endian fields ----

void PutU32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU64(uint8_t* out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutF64(uint8_t* out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU64(out, bits);
}
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

bool HostIsLittleEndian() {
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// Samples as they lie in the file. On little-endian hosts that is the caller's memory.
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

uint32_t BlockChecksum(int32_t code, const uint8_t* stored) {
    uint8_t codeBytes[4];
    PutU32(codeBytes, static_cast<uint32_t>(code));
    return Crc32(Crc32(0, codeBytes, 4), stored, kMapBlockBytes);
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

bool ReadAt(std::FILE* file, uint64_t offset, void* out, size_t size) {
    return SeekTo(file, offset) && std::fread(out, 1, size, file) == size;
}

bool WriteAll(std::FILE* file, const void* data, size_t size) {
    return std::fwrite(data, 1, size, file) == size;
}

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) *error = text;
}

// ---- header ----

// Empty when the header describes a map this code can hold.
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
    PutU32(out + 60, h.mat);
    PutU32(out + kHeaderCrcOffset, Crc32(0, out, kHeaderCrcOffset));
}

// Reads and checks the header at the start of `file`.
bool ReadHeader(std::FILE* file, MapHeader* h, std::string* problem) {
    uint8_t in[kHeaderBytes];
    size_t got = SeekTo(file, 0) ? std::fread(in, 1, kHeaderBytes, file) : 0;
    if (got < sizeof kMagic) return *problem = "truncated header (" + std::to_string(got) + " bytes)", false;
    if (std::memcmp(in, kMagic, sizeof kMagic) != 0) return *problem = "wrong magic number: not a map file", false;
    if (got < 16) return *problem = "truncated header (" + std::to_string(got) + " bytes)", false;
    uint32_t version = GetU32(in + 8);
    if (version != kFormatVersion) return *problem = "unknown format version " + std::to_string(version), false;
    if (GetU32(in + 12) != kHeaderBytes) return *problem = "wrong header size", false;
    if (got < kHeaderBytes) return *problem = "truncated header (" + std::to_string(got) + " bytes)", false;
    if (GetU32(in + kHeaderCrcOffset) != Crc32(0, in, kHeaderCrcOffset)) {
        return *problem = "header checksum mismatch", false;
    }
    h->width = static_cast<int32_t>(GetU32(in + 16));
    h->height = static_cast<int32_t>(GetU32(in + 20));
    h->originLat = GetF64(in + 24);
    h->originLon = GetF64(in + 32);
    h->cellLat = GetF64(in + 40);
    h->cellLon = GetF64(in + 48);
    h->mapType = GetU32(in + 56);
    h->mat = GetU32(in + 60);
    *problem = CheckHeaderValues(*h);
    return problem->empty();
}

bool CodeInGrid(const MapHeader& h, int32_t code) {
    int32_t row = 0;
    int32_t col = 0;
    return MapBlockOrigin(code, &row, &col) && row < h.height && col < h.width;
}

// ---- writing records ----

// Appends one block record; adds its header to the session checksum.
bool WriteBlockRecord(std::FILE* file, int32_t code, const int16_t* samples,
                      std::vector<uint8_t>* scratch, uint32_t* sessionCrc) {
    const uint8_t* stored = SamplesAsStored(samples, scratch);
    uint8_t head[kBlockHeaderBytes];
    PutU32(head, kBlockTag);
    PutU32(head + 4, static_cast<uint32_t>(code));
    PutU32(head + 8, BlockChecksum(code, stored));
    *sessionCrc = Crc32(*sessionCrc, head, sizeof head);
    return WriteAll(file, head, sizeof head) && WriteAll(file, stored, kMapBlockBytes);
}

void EncodeCommit(uint32_t count, uint64_t start, uint32_t sessionCrc, uint8_t* out) {
    std::memset(out, 0, kCommitBytes);
    PutU32(out, kCommitTag);
    PutU32(out + 4, count);
    PutU64(out + 8, start);
    PutU64(out + 16, count * kBlockRecordBytes);
    PutU32(out + kCommitCrcOffset, Crc32(sessionCrc, out, kCommitCrcOffset));
}

// Writes the commit record, with the session's blocks put on disk before it.
bool WriteCommit(std::FILE* file, uint32_t count, uint64_t start, uint32_t sessionCrc) {
    uint8_t record[kCommitBytes];
    EncodeCommit(count, start, sessionCrc, record);
    return FlushToDisk(file) && WriteAll(file, record, sizeof record) && FlushToDisk(file);
}

// ---- reading the sessions ----

struct ScannedBlock {
    int32_t code;
    uint64_t offset;  // of the samples
    uint32_t checksum;
    bool intact;      // samples match the checksum; not checked by a structural scan
};

struct ScanResult {
    std::vector<ScannedBlock> committed;  // in file order
    std::vector<size_t> sessionSizes;     // blocks of each accepted session, in file order
    std::vector<std::string> warnings;
    uint64_t committedEnd = kHeaderBytes;  // end of the last valid commit record
    // Nothing but the well-formed records of an interrupted save follows committedEnd,
    // so cutting it off loses nothing a reader could ever see.
    bool tailIsInterruptedSave = true;
};

std::string Offset(uint64_t offset) { return std::to_string(offset); }

// Walks the sessions after the header. Reads samples only when verifying them.
class SessionScanner {
public:
    SessionScanner(std::FILE* file, uint64_t fileSize, bool verifySamples)
        : file_(file), fileSize_(fileSize), verify_(verifySamples) {}

    // False on a read error.
    bool Run(ScanResult* result);

private:
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
    uint64_t pos = kHeaderBytes;
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

// Reads the header and walks the sessions; a problem text when the file is unusable.
bool ScanFile(std::FILE* file, bool verifySamples, MapHeader* header, ScanResult* scan,
              uint64_t* fileSize, std::string* problem) {
    if (!ReadHeader(file, header, problem)) return false;
    if (!SizeOf(file, fileSize)) return *problem = "cannot read the file size", false;
    SessionScanner scanner(file, *fileSize, verifySamples);
    if (!scanner.Run(scan)) return *problem = "read error while scanning saves", false;
    return true;
}

std::string BlockWarning(const ScannedBlock& block, bool inGrid, bool hasPrevious) {
    std::string where = "block " + std::to_string(block.code) + " at offset " + Offset(block.offset);
    if (!inGrid) return where + " lies outside the map's grid; ignored";
    return where + " fails its checksum; " +
           (hasPrevious ? "the previous saved copy is used" : "it reads as zeros");
}

}  // namespace

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

namespace {

// Copies the block at (row0, col0) out of a row-major grid; cells past the edges are 0.
void ExtractBlock(const MapHeader& h, const int16_t* grid, int32_t row0, int32_t col0, int16_t* block) {
    std::memset(block, 0, kMapBlockBytes);
    int32_t rows = std::min(kMapBlockSide, h.height - row0);
    int32_t cols = std::min(kMapBlockSide, h.width - col0);
    for (int32_t r = 0; r < rows; ++r) {
        const int16_t* source = grid + (static_cast<size_t>(row0) + r) * static_cast<size_t>(h.width) + col0;
        std::memcpy(block + static_cast<size_t>(r) * kMapBlockSide, source, cols * sizeof(int16_t));
    }
}

bool WriteGridSession(std::FILE* file, const MapHeader& h, const int16_t* grid) {
    std::vector<int16_t> block(kMapBlockSamples);
    std::vector<uint8_t> scratch;
    uint32_t crc = 0;
    uint32_t count = 0;
    for (int32_t row0 = 0; row0 < h.height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < h.width; col0 += kMapBlockSide) {
            ExtractBlock(h, grid, row0, col0, block.data());
            if (!WriteBlockRecord(file, MapBlockCode(row0, col0), block.data(), &scratch, &crc)) return false;
            ++count;
        }
    }
    return WriteCommit(file, count, kHeaderBytes, crc);
}

// Positions the file where a new session goes: over an interrupted save's remains, or
// after damaged data (kept, since it may be recoverable), at the next 4-byte offset.
bool PrepareSessionStart(std::FILE* file, const ScanResult& scan, uint64_t fileSize, uint64_t* start) {
    if (scan.tailIsInterruptedSave) {
        *start = scan.committedEnd;
        if (fileSize > *start && !TruncateTo(file, *start)) return false;
        return SeekTo(file, *start);
    }
    *start = (fileSize + 3) / 4 * 4;
    const uint8_t zeros[4] = {0, 0, 0, 0};
    return SeekTo(file, fileSize) && WriteAll(file, zeros, static_cast<size_t>(*start - fileSize)) &&
           SeekTo(file, *start);
}

}  // namespace

bool CreateMapFile(const std::string& path, const MapHeader& header, const int16_t* samples,
                   std::string* error) {
    std::string problem = CheckHeaderValues(header);
    if (!problem.empty()) return SetError(error, "cannot create map " + path + ": " + problem), false;
    std::string temporary = path + ".tmp";
    std::FILE* file = OpenFileUtf8(temporary, "wb");
    if (file == nullptr) return SetError(error, "cannot create " + temporary), false;
    uint8_t head[kHeaderBytes];
    EncodeHeader(header, head);
    bool ok = WriteAll(file, head, sizeof head);
    ok = ok && (samples != nullptr ? WriteGridSession(file, header, samples) : FlushToDisk(file));
    ok = (std::fclose(file) == 0) && ok;
    if (ok && ReplaceFileAtomically(temporary, path)) return true;
    std::remove(temporary.c_str());
    return SetError(error, "cannot write map file " + path), false;
}

bool MapFileReader::Open(const std::string& path, std::string* error) {
    path_ = path;
    header_ = MapHeader();
    blocks_.clear();
    saves_.clear();
    warnings_.clear();
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (file == nullptr) return SetError(error, "cannot open map file " + path), false;
    MapHeader header;
    ScanResult scan;
    uint64_t fileSize = 0;
    std::string problem;
    bool ok = ScanFile(file, true, &header, &scan, &fileSize, &problem);
    std::fclose(file);
    if (!ok) return SetError(error, "map file " + path + ": " + problem), false;
    header_ = header;
    warnings_ = scan.warnings;
    size_t next = 0;
    for (size_t size : scan.sessionSizes) {
        saves_.emplace_back();
        for (size_t i = 0; i < size; ++i) saves_.back().push_back(scan.committed[next++].code);
    }
    for (const ScannedBlock& block : scan.committed) {
        bool inGrid = CodeInGrid(header_, block.code);
        if (inGrid && block.intact) {
            blocks_[block.code] = BlockCopy{block.offset, block.checksum};
            continue;
        }
        warnings_.push_back(BlockWarning(block, inGrid, blocks_.count(block.code) != 0));
    }
    return true;
}

bool MapFileReader::ReadBlock(int32_t code, int16_t* samples, std::string* error) const {
    std::memset(samples, 0, kMapBlockBytes);
    auto found = blocks_.find(code);
    if (found == blocks_.end()) return true;
    std::vector<uint8_t> stored(kMapBlockBytes);
    std::FILE* file = OpenFileUtf8(path_, "rb");
    bool read = file != nullptr && ReadAt(file, found->second.offset, stored.data(), stored.size());
    if (file != nullptr) std::fclose(file);
    if (!read) return SetError(error, "cannot read block " + std::to_string(code) + " of " + path_), false;
    if (BlockChecksum(code, stored.data()) != found->second.checksum) {
        return SetError(error, "block " + std::to_string(code) + " of " + path_ + " fails its checksum"), false;
    }
    SamplesFromStored(stored.data(), samples);
    return true;
}

bool MapFileReader::HasBlock(int32_t code) const { return blocks_.count(code) != 0; }

std::vector<int32_t> MapFileReader::BlockCodes() const {
    std::vector<int32_t> codes;
    codes.reserve(blocks_.size());
    for (const auto& entry : blocks_) codes.push_back(entry.first);
    return codes;
}

struct MapSaveSession::Impl {
    std::FILE* file = nullptr;
    std::string path;
    MapHeader header;
    uint64_t sessionStart = 0;
    uint32_t count = 0;
    uint32_t crc = 0;
    bool failed = false;
    bool committed = false;
    std::vector<uint8_t> scratch;  // samples in file order, big-endian hosts only
};

MapSaveSession::MapSaveSession() = default;

MapSaveSession::~MapSaveSession() {
    if (!impl_ || impl_->file == nullptr) return;
    // Nothing of an uncommitted save was ever visible; take its bytes back off the file.
    if (!impl_->committed) TruncateTo(impl_->file, impl_->sessionStart);
    std::fclose(impl_->file);
}

bool MapSaveSession::Begin(const std::string& path, std::string* error) {
    if (impl_) return SetError(error, "a save of " + impl_->path + " is already in progress"), false;
    std::FILE* file = OpenFileUtf8(path, "r+b");
    if (file == nullptr) return SetError(error, "cannot open map file " + path + " for saving"), false;
    auto impl = std::make_unique<Impl>();
    ScanResult scan;
    uint64_t fileSize = 0;
    std::string problem;
    bool ok = ScanFile(file, false, &impl->header, &scan, &fileSize, &problem);
    if (ok && !PrepareSessionStart(file, scan, fileSize, &impl->sessionStart)) {
        ok = false;
        problem = "cannot prepare the file for a new save";
    }
    if (!ok) {
        std::fclose(file);
        return SetError(error, "map file " + path + ": " + problem), false;
    }
    impl->file = file;
    impl->path = path;
    impl_ = std::move(impl);
    return true;
}

bool MapSaveSession::Append(int32_t code, const int16_t* samples, std::string* error) {
    if (!impl_ || impl_->committed) return SetError(error, "no save in progress"), false;
    if (impl_->failed) return SetError(error, "an earlier write of this save failed"), false;
    if (!CodeInGrid(impl_->header, code)) {
        return SetError(error, "block code " + std::to_string(code) + " lies outside the map's grid"), false;
    }
    if (impl_->count == UINT32_MAX ||
        !WriteBlockRecord(impl_->file, code, samples, &impl_->scratch, &impl_->crc)) {
        impl_->failed = true;
        return SetError(error, "cannot write block " + std::to_string(code) + " to " + impl_->path), false;
    }
    ++impl_->count;
    return true;
}

bool MapSaveSession::Commit(std::string* error) {
    if (!impl_ || impl_->committed) return SetError(error, "no save in progress"), false;
    if (impl_->failed) return SetError(error, "an earlier write of this save failed"), false;
    if (!WriteCommit(impl_->file, impl_->count, impl_->sessionStart, impl_->crc)) {
        impl_->failed = true;
        return SetError(error, "cannot commit the save to " + impl_->path), false;
    }
    impl_->committed = true;
    bool closed = std::fclose(impl_->file) == 0;
    impl_->file = nullptr;
    if (!closed) return SetError(error, "cannot close " + impl_->path + " after saving"), false;
    return true;
}
