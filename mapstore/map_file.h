// devhost's elevation map files.
//
// A map file is a header followed by save sessions. Each session holds block records
// and ends with a checksummed commit record; a session without a valid commit record
// (a save torn at any byte, or one still being written by another process) is invisible
// to readers, so a reader sees the map as of the last complete save. Reading takes the
// newest committed copy of each block; a block never saved reads as sea level (0).
//
// Blocks are 320 x 320 int16 samples (metres), row by row, named by their block code:
// with R = row / 320 and C = col / 320,
//   code = (R / 100) * 1000000 + (C / 100) * 10000 + (R % 100) * 100 + (C % 100).
// Paths are UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

const int kMapBlockSide = 320;
const int kMapBlockSamples = kMapBlockSide * kMapBlockSide;
const int kMapBlockBytes = kMapBlockSamples * 2;

// Largest grid a map file may describe: every block code x 100 fits in int32.
const int32_t kMaxMapRows = 672000;
const int32_t kMaxMapColumns = 3200000;

struct MapHeader {
    int32_t width = 0;           // columns, 1..kMaxMapColumns
    int32_t height = 0;          // rows, 1..kMaxMapRows
    double originLat = 0.0;      // north edge of row 0, degrees
    double originLon = 0.0;      // west edge of column 0, degrees
    double cellLat = 0.0;        // cell size north-south, degrees, > 0
    double cellLon = 0.0;        // cell size east-west, degrees, > 0
    uint32_t mapType = 5;        // 5 and 10 are editable elevation maps
    uint32_t mat = 0;            // nonzero: MAT flag set
    // Blocks of the save written when the map was made; set by MapFileBuilder.
    uint32_t creationBlocks = 0;
    // The sample value that stands for "no data" in the source the map was made from;
    // maps made without one have none, and all their samples are heights.
    bool hasVoidValue = false;
    int16_t voidValue = 0;
    // The file's format version as read; writers always write the current one.
    uint32_t formatVersion = 0;
};

// Block code of the block holding (row, col); both must be >= 0.
int32_t MapBlockCode(int32_t row, int32_t col);
// First row and column of the block with this code; false for a negative code.
bool MapBlockOrigin(int32_t code, int32_t* row, int32_t* col);

// Creates (or replaces) a map file holding the header and, when `samples` is not null,
// one committed session with every block of the width x height grid (row-major).
bool CreateMapFile(const std::string& path, const MapHeader& header, const int16_t* samples,
                   std::string* error);

// Writes a new map block by block, so that memory stays one block whatever the grid's
// size. The map is written to a temporary file beside `path` and takes its name only once
// it is whole; a builder destroyed unfinished leaves `path` as it was. It takes no write
// lock: a program that may replace a map others write holds its MapWriteLock meanwhile.
class MapFileBuilder {
public:
    MapFileBuilder();
    ~MapFileBuilder();
    MapFileBuilder(const MapFileBuilder&) = delete;
    MapFileBuilder& operator=(const MapFileBuilder&) = delete;

    bool Begin(const std::string& path, const MapHeader& header, std::string* error);
    // Each block of the grid at most once; cells outside the grid are stored as 0.
    bool Add(int32_t code, const int16_t* samples, std::string* error);
    // Commits the blocks, puts the file on disk and gives it its name.
    bool Finish(std::string* error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// How long a writer waits for another program's write of the same map to end, ms.
const int kMapWriteWaitMs = 2000;

// Where the system cannot lock a map at all (a file system without record locks, as some
// network mounts are), every writer refuses, with an error IsLockUnavailableError knows,
// unless this process was told that no other program writes the map meanwhile; it then
// writes without the lock. A map held by another program is refused either way.
void AllowUnlockedWrites(bool allowed);
bool UnlockedWritesAllowed();
bool IsLockUnavailableError(const std::string& error);

// An exclusive hold on a map file for the whole of a write, so that two programs never
// write one map at once; saves hold it too. Acquire waits up to kMapWriteWaitMs for
// another program's write to end, then fails with "being written by another program".
// With no file under the name there is nothing to hold, and Acquire succeeds; a file this
// program may not write is refused, since replacing it would take it from its owner.
class MapWriteLock {
public:
    MapWriteLock() = default;
    ~MapWriteLock();
    MapWriteLock(const MapWriteLock&) = delete;
    MapWriteLock& operator=(const MapWriteLock&) = delete;

    bool Acquire(const std::string& path, std::string* error);

private:
    std::FILE* file_ = nullptr;
};

// A map file opened for reading: the header and an index of the newest committed copy
// of each block. Opening refuses a wrong magic number, an unknown version, impossible
// dimensions, a truncated header or a file with no readable data with a clear message,
// and builds no partial map. The file stays open until the reader is reopened or
// destroyed, so renaming or replacing it meanwhile does not change what is read.
class MapSaveSession;

class MapFileReader {
public:
    bool Open(const std::string& path, std::string* error);
    // Opens without reading any samples: each block is checked when it is read, and a
    // copy that fails its checksum then gives way to the previous one. For a single pass
    // over the blocks (a comparison, an export), which so reads each block once. A block
    // without a copy reads as zeros only once every other copy has been checked, so the
    // reader refuses exactly what Open's reader refuses.
    bool OpenForOnePass(const std::string& path, std::string* error);

    const MapHeader& header() const { return header_; }
    // Fills the block; a block never saved is all zeros. False (and zeros) when the file
    // cannot be read any more, the stored copy fails its checksum, or the block has no
    // readable copy in a file where damaged data may have held one.
    bool ReadBlock(int32_t code, int16_t* samples, std::string* error) const;
    bool HasBlock(int32_t code) const;
    std::vector<int32_t> BlockCodes() const;
    // The blocks of the grid that have no readable copy in a file where damaged data may
    // have held one (ReadBlock fails for them): how many, and the first `limit` codes.
    uint64_t UnreadableBlocks(size_t limit, std::vector<int32_t>* codes) const;
    // Blocks whose newest saved copy fails its checksum, so that an older copy is read
    // (known on opening to Open's reader only), in code order.
    const std::vector<int32_t>& RolledBackBlocks() const { return rolledBack_; }
    // Whether the map may have a void value that damage keeps from being read; a
    // warning says so, and the header then says the map has none.
    bool VoidValueUnreadable() const { return voidValueUnreadable_; }
    // The block codes of each committed save, oldest first, as stored.
    const std::vector<std::vector<int32_t>>& saves() const { return saves_; }
    // Damaged or torn parts seen while opening (ignored, with the reason).
    const std::vector<std::string>& warnings() const { return warnings_; }
    // Takes in the copies a committed save wrote, without reading the file again. False
    // (nothing changed) unless the save began from this reader's view of the file; open
    // the file again then.
    bool TakeSave(const MapSaveSession& session);
    // Writes the file as this reader read it, every committed save and nothing after, to
    // `target` (replaced only when the copy is whole). Edits saved to the copy then
    // continue exactly this view, whatever another program wrote to the file since.
    bool CopyCommittedTo(const std::string& target, std::string* error) const;

private:
    bool OpenChecking(const std::string& path, bool checkNow, std::string* error);

    struct BlockCopy {
        uint64_t offset;  // file offset of the samples
        uint32_t checksum;
    };

    // Checks every committed copy a one-pass open left unchecked; any that fails makes
    // the file damaged. Done once, when a block without a copy is asked for.
    void CheckUncheckedCopies() const;

    std::string path_;
    std::shared_ptr<std::FILE> file_;
    MapHeader header_;
    std::map<int32_t, BlockCopy> blocks_;
    std::multimap<int32_t, BlockCopy> older_;  // earlier copies, kept by OpenForOnePass only
    std::vector<std::pair<int32_t, BlockCopy>> unchecked_;  // by OpenForOnePass, until checked
    std::vector<std::vector<int32_t>> saves_;
    std::vector<std::string> warnings_;
    std::vector<int32_t> rolledBack_;
    bool voidValueUnreadable_ = false;
    // A one-pass reader learns of damage as it reads.
    mutable bool damaged_ = false;
    mutable bool allChecked_ = true;
    // Where the next save goes, as the scan found it.
    uint64_t fileSize_ = 0;
    uint64_t committedEnd_ = 0;
    bool tailIsInterruptedSave_ = true;

    friend class MapSaveSession;
};

// One save: blocks appended, then committed, all or nothing. Destroying an uncommitted
// session leaves the file as it was before the save as far as any reader can tell; after
// a failed append the commit fails and writes nothing.
class MapSaveSession {
public:
    MapSaveSession();  // defined where Impl is complete
    ~MapSaveSession();
    MapSaveSession(const MapSaveSession&) = delete;
    MapSaveSession& operator=(const MapSaveSession&) = delete;

    // Opens an existing map file for appending; checks its header first and reads the
    // structure of every earlier save. The save holds the map's write lock (MapWriteLock)
    // until it is committed or abandoned; while another program writes the map, Begin
    // waits up to kMapWriteWaitMs, then fails and writes nothing.
    bool Begin(const std::string& path, std::string* error);
    // The same, continuing what `known` read from this file: when the file is as the
    // reader left it, nothing of its history is read again, so the cost does not grow
    // with the number of earlier saves. When another program committed a save to the
    // file since, or replaced it, Begin fails naming that change and writes nothing.
    bool Begin(const std::string& path, const MapFileReader& known, std::string* error);
    // A block holding no sample of the map (wholly outside its grid), or identical to its
    // newest saved copy, writes nothing. The cells of an edge block that lie outside the
    // grid are stored as 0, whatever `samples` holds there. False for a negative code or
    // a failed write.
    bool Append(int32_t code, const int16_t* samples, std::string* error);
    // Writes the commit record and puts the file on disk; a save that wrote no block
    // leaves the file untouched.
    bool Commit(std::string* error);
    // Block records written so far.
    uint32_t written() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;

    // Reads the structure of the locked file's saves; with `known`, refuses when a save
    // was committed since that reader read the file.
    bool BeginScanned(std::FILE* file, const std::string& path, const MapFileReader* known, std::string* error);
    // Takes the file over for a save that starts after `committedEnd`.
    bool Start(std::unique_ptr<Impl> impl, std::FILE* file, const std::string& path, uint64_t committedEnd,
               bool tailIsInterruptedSave, uint64_t fileSize, std::string* error);

    friend class MapFileReader;
};
