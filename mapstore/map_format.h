// Map file layout. Integers are little-endian, doubles IEEE-754 binary64 little-endian.
// Every record's size is a multiple of 4, so every record starts on a 4-byte offset.
//
//   Header, 72 bytes
//      0  magic "ZOLVAMAP"
//      8  u32 format version: 2 (1: written before the header kept the void value)
//     12  u32 header size (72)
//     16  i32 width, i32 height
//     24  f64 originLat, originLon, cellLat, cellLon
//     56  u32 mapType
//     60  version 1: u32 mat
//         version 2: u8 mat (0 or 1), u8 flags (1: the map has a void value; no other
//         flag is defined, and a header with one is refused), i16 void value
//     64  u32 block records in the session written when the map was made (0: none marked)
//     68  u32 CRC-32C of bytes 0..67
//
// The void value is a fact about the whole map, so it lives where the georeference does:
// in the header, its copy and the one-byte mend all keep it, and so does the fact that a
// map has none. Readers that know only version 1 refuse version 2 as an unknown version,
// rather than read a map whose void value they would lose to one damaged byte. Maps
// written before version 2 kept the void value in the commit record of their first save
// only (see there); readers still take it from there for version 1, and go on opening
// such maps as before.
//
//   Then save sessions, one after another: block records followed by one commit record.
//   The session written when the map was made is followed by the header's copy:
//
//   Header copy, 80 bytes (maps made before it existed have none; nothing else changed)
//      0  tag "ZHDC"
//      4  u32 reserved (0)
//      8  the header's 72 bytes, its own checksum included
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
//     24  u32 reserved (0), except in the commit record of the session written when the
//         map was made: the map's void value, as i16 void value at 24 and u16 flags at 26
//         (1: the map has a void value; 0, as in older maps: it has none)
//     28  u32 CRC-32C of the session's 12-byte block record headers, in order, followed by
//         bytes 0..27 of this record
//
// In version 1 that word is where the void value was kept before the header carried it;
// version 2 writers still put it there, so that a map whose header and copy are both lost
// keeps its void value for recovery. A version 1 map whose first commit record does not
// check out, and which is new enough to have had a void value (it has the header's copy,
// or is cut short where the copy would be), has a void value nobody can read: readers
// warn, and export and compaction refuse it until recovery is told the value.
//
// The commit checksum covers each block's checksum rather than its samples, so a damaged
// sample costs only that copy of that block (the previous copy is used), never the save.
// A saver flushes the block records to disk before it writes the commit record, then
// flushes again. Readers skip damaged stretches by searching 4-byte offsets for the next
// commit record whose whole session checks out.
//
// The session written when the map was made starts right after the header and is
// written whole before the map appears under its name (a temporary file and a rename),
// so it is never a torn save: readers take each of its blocks whose own checksum passes,
// whatever happened to its commit record. The header says how many blocks it holds. That
// count stands when the commit record after that many records names it (start 72, that
// many blocks; its checksum is not asked, since a damaged record head fails it); when it
// does not, the records are walked to the commit record that names the save, so a wrong
// count never hides a block nor swallows a later save. A count of 0 (older files) lets
// the walk find a first save that starts right after the header; with none found the
// first save is read as any other.
//
// A header that fails its checksum gives way to its copy (found after the first non-block
// record place of the first save), and where a map has none (older files), to the header
// with one byte changed, when exactly one such change checks out. Readers then warn; the
// header is not rewritten in place (compaction writes it afresh). Readers written before
// the copy existed see it as damaged data after the first save and lose nothing.
//
// This header is shared by the store's own files: the checksums, the byte encoding, the
// header and its copy, the session scanner, the reader, the new-map builder, saves and
// the write lock.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mapstore/map_file.h"

namespace mapfile {

const char kMagic[8] = {'Z', 'O', 'L', 'V', 'A', 'M', 'A', 'P'};
const uint32_t kFormatVersion1 = 1;  // maps written before the header kept the void value
const uint32_t kFormatVersion = 2;   // written now
const uint8_t kHeaderHasVoidValue = 1;
const uint32_t kHeaderBytes = 72;
const uint32_t kHeaderCrcOffset = 68;
const uint32_t kBlockTag = 0x4B4C425A;   // "ZBLK"
const uint32_t kCommitTag = 0x544D435A;  // "ZCMT"
const uint32_t kBlockHeaderBytes = 12;
const uint64_t kBlockRecordBytes = kBlockHeaderBytes + kMapBlockBytes;
const uint32_t kCommitBytes = 32;
const uint32_t kCommitCrcOffset = 28;
const uint32_t kHeaderCopyTag = 0x4344485A;  // "ZHDC"
const uint32_t kHeaderCopyBytes = 80;
const uint32_t kHeaderCopyImageOffset = 8;

// ---- checksums (map_checksum.cpp) ----

// CRC-32C; continues a CRC: Crc32(Crc32(0, a), b) == Crc32(0, a + b).
uint32_t Crc32(uint32_t crc, const void* data, size_t size);
// A block record's checksum: its code's 4 bytes, then its samples as stored.
uint32_t BlockChecksum(int32_t code, const uint8_t* stored);

// ---- byte encoding and file access (map_codec.cpp) ----

void PutU16(uint8_t* out, uint16_t v);
void PutU32(uint8_t* out, uint32_t v);
void PutU64(uint8_t* out, uint64_t v);
void PutF64(uint8_t* out, double v);
uint16_t GetU16(const uint8_t* in);
uint32_t GetU32(const uint8_t* in);
uint64_t GetU64(const uint8_t* in);
double GetF64(const uint8_t* in);
// Samples as they lie in the file. On little-endian hosts that is the caller's memory.
const uint8_t* SamplesAsStored(const int16_t* samples, std::vector<uint8_t>* scratch);
void SamplesFromStored(const uint8_t* stored, int16_t* samples);

bool SeekTo(std::FILE* file, uint64_t offset);
bool SizeOf(std::FILE* file, uint64_t* size);
bool TruncateTo(std::FILE* file, uint64_t size);
// Sets the size of a flushed stream, zeros filling any new part.
bool ExtendTo(std::FILE* file, uint64_t size);
bool ReadAt(std::FILE* file, uint64_t offset, void* out, size_t size);
bool WriteAll(std::FILE* file, const void* data, size_t size);
void SetError(std::string* error, const std::string& text);
std::string Offset(uint64_t offset);

// Empty when the header describes a map this code can hold.
std::string CheckHeaderValues(const MapHeader& h);
void EncodeHeader(const MapHeader& h, uint8_t* out);
// Checks a header's bytes (`got` of them) and decodes them; *h is set only when they check out.
bool DecodeHeader(const uint8_t* in, size_t got, MapHeader* h, std::string* problem);
// Reads and checks the header at the start of `file`.
bool ReadHeader(std::FILE* file, MapHeader* h, std::string* problem);
// Whether the block with this code holds at least one sample of the map.
bool CodeInGrid(const MapHeader& h, int32_t code);
// Blocks of the grid: rows of blocks x columns of blocks.
uint64_t GridBlockCount(const MapHeader& h);

// The samples of a block as the file keeps them: cells outside the grid hold 0, whatever
// `samples` holds there. Points into `samples` or into one of the two scratch vectors.
const uint8_t* CanonicalStored(const MapHeader& h, int32_t code, const int16_t* samples, std::vector<int16_t>* edge,
                               std::vector<uint8_t>* scratch);
// Appends one block record whose samples are already in file order; adds its header to
// the session checksum.
bool WriteStoredBlockRecord(std::FILE* file, int32_t code, const uint8_t* stored, uint32_t checksum,
                            uint32_t* sessionCrc);
// Writes the commit record, with the session's blocks put on disk before it; `word` goes
// into its bytes 24..27 (the void value in the map's first save, else 0).
bool WriteCommit(std::FILE* file, uint32_t count, uint64_t start, uint32_t sessionCrc, uint32_t word = 0);
// The void value as the first save's commit record keeps it, and back.
uint32_t EncodeVoidWord(const MapHeader& h);
void DecodeVoidWord(uint32_t word, MapHeader* h);

// ---- the header's copy (map_header.cpp) ----

void EncodeHeaderCopy(const MapHeader& h, uint8_t* out);
// Whether the bytes hold a header copy that checks out.
bool DecodeHeaderCopy(const uint8_t* in, MapHeader* h);
// Reads the header at the start of `file`; when it fails its checksum, its copy, or where
// the map has none, the header with its one damaged byte mended. `warnings` then says so.
bool LoadHeader(std::FILE* file, uint64_t fileSize, MapHeader* h, std::vector<std::string>* warnings,
                std::string* problem);

// The void value word of the first commit record (whose `blocks` block records follow
// the header) when the record fails its checksum through one damaged place: a block
// record head or one byte of the record. False when no single mend explains it.
bool MendFirstCommitWord(std::FILE* file, uint64_t fileSize, const MapHeader& h, uint64_t blocks, uint32_t* word);

// ---- the write lock (map_lock.cpp) ----

// Opens an existing map "r+b" holding its write lock; null with the reason otherwise.
std::FILE* OpenLockedForWriting(const std::string& path, std::string* error);
// Releases the lock and closes the file; false when closing failed.
bool CloseLocked(std::FILE* file);

// ---- the session scanner (map_scan.cpp) ----

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
    uint64_t committedEnd = kHeaderBytes;  // end of the last valid commit record (or of the header's copy)
    uint64_t headerCopyAt = 0;             // 0: the map has no header copy
    uint32_t voidWord = 0;                 // from the first save's commit record, when it checks out
    // A version 1 map that may have had a void value in a first commit record that does
    // not check out.
    bool voidValueUnreadable = false;
    // Nothing but the well-formed records of an interrupted save follows committedEnd,
    // so cutting it off loses nothing a reader could ever see.
    bool tailIsInterruptedSave = true;
    // Some saved data could not be read back: a damaged record, a skipped stretch, or a
    // first save cut short. A block without a readable copy may then have had one.
    bool damaged = false;
};

// Reads the header and walks the sessions; a problem text when the file is unusable.
// Samples are read and checked only when verifySamples is set.
bool ScanFile(std::FILE* file, bool verifySamples, MapHeader* header, ScanResult* scan,
              uint64_t* fileSize, std::string* problem);
// The header and the map's first save only (its blocks and the void value), whatever
// follows; committed, committedEnd and the tail's state then describe that save alone.
bool ScanFirstSave(std::FILE* file, MapHeader* header, ScanResult* scan, uint64_t* fileSize, std::string* problem);

}  // namespace mapfile
