#include "maptools/map_recover.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <set>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"
#include "maptools/map_stream.h"
#include "maptools/sidecar_json.h"

using namespace mapfile;

namespace {

const size_t kChunkBytes = 1 << 16;
// Share of the progress bar the search of the input takes; writing takes the rest.
const double kSearchShare = 0.9;

using FileCloser = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Whether `out` names the file `in` names, however spelled (links, "..", another mount).
bool SameFile(const std::string& in, const std::string& out) {
    struct stat a, b;
    return ::stat(in.c_str(), &a) == 0 && ::stat(out.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool HeaderFromSidecar(const RecoverOptions& options, MapHeader* header, std::string* error) {
    std::string why;
    FileCloser file(OpenRegularFile(options.georef, "rb", &why), std::fclose);
    if (!file) return *error = "cannot open " + options.georef + ": " + why, false;
    std::string text(kMaxSidecarBytes + 1, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), file.get()));
    RawGridInfo info;
    if (!ParseSidecarJson(text, &info, error)) return *error = options.georef + ": " + *error, false;
    *header = MapHeader();
    header->width = info.width;
    header->height = info.height;
    header->originLat = info.originLat;
    header->originLon = info.originLon;
    header->cellLat = info.cellLat;
    header->cellLon = info.cellLon;
    header->mapType = options.map.mapType;
    header->mat = options.map.mat ? 1 : 0;
    std::string problem = CheckHeaderValues(*header);
    if (!problem.empty()) return *error = options.georef + ": " + problem, false;
    return true;
}

// The void value kept in the first save's commit record, when that record checks out;
// for a map whose header is lost.
bool VoidFromFirstCommit(std::FILE* file, uint64_t size, MapHeader* header) {
    uint32_t crc = 0;
    uint64_t pos = kHeaderBytes;
    uint8_t head[kBlockHeaderBytes];
    for (; pos + kBlockHeaderBytes <= size && ReadAt(file, pos, head, sizeof head) && GetU32(head) == kBlockTag;
         pos += kBlockRecordBytes) {
        crc = Crc32(crc, head, sizeof head);
    }
    uint8_t record[kCommitBytes];
    uint64_t count = (pos - kHeaderBytes) / kBlockRecordBytes;
    if (pos + kCommitBytes > size || !ReadAt(file, pos, record, sizeof record)) return false;
    if (GetU32(record) != kCommitTag || GetU32(record + 4) != count || GetU64(record + 8) != kHeaderBytes ||
        GetU32(record + kCommitCrcOffset) != Crc32(crc, record, kCommitCrcOffset)) {
        return false;
    }
    DecodeVoidWord(GetU32(record + 24), header);
    return true;
}

// The void value: the user's, else the file's; false (with the way out) when the file
// cannot tell it.
bool SettleVoidValue(const RecoverOptions& options, bool known, MapHeader* header, RecoverReport* report,
                     std::string* error) {
    if (options.voidValueGiven || options.noVoidValue) {
        header->hasVoidValue = options.voidValueGiven;
        header->voidValue = options.voidValueGiven ? options.voidValue : 0;
        report->voidSource = options.voidValueGiven ? std::to_string(options.voidValue) + ", as given" : "none, as given";
        return true;
    }
    if (!known) {
        return *error = "the map's void value cannot be read (the records that keep it are damaged or lost), and "
                        "without it voids would become heights. Nothing was written; give it with --void-value V, "
                        "or --no-void-value when the map has no voids",
               false;
    }
    report->voidSource = header->hasVoidValue ? std::to_string(header->voidValue) + ", from the map" : "none";
    return true;
}

// The map's own header (or its copy, or mended), else the sidecar's; the void value with it.
bool RecoverHeader(std::FILE* file, uint64_t size, const RecoverOptions& options, MapHeader* header,
                   RecoverReport* report, std::string* error) {
    std::string problem;
    if (LoadHeader(file, size, header, &report->warnings, &problem)) {
        report->headerSource = report->warnings.empty() ? "the map's header" : report->warnings.back();
        MapHeader scanned;
        ScanResult scan;
        uint64_t scannedSize = 0;
        bool scannedOk = ScanFirstSave(file, &scanned, &scan, &scannedSize, &problem);
        if (scannedOk) header->hasVoidValue = scanned.hasVoidValue, header->voidValue = scanned.voidValue;
        return SettleVoidValue(options, scannedOk && !scan.voidValueUnreadable, header, report, error);
    }
    if (options.georef.empty()) {
        return *error = "no intact header or header copy is left (" + problem +
                        "); give the georeference with --georef SIDECAR.json (the keys from-raw reads) and the "
                        "map type with --type and --mat",
               false;
    }
    if (!HeaderFromSidecar(options, header, error)) return false;
    report->headerSource = "the map's header is lost (" + problem + "); the georeference of " + options.georef + " is used";
    return SettleVoidValue(options, VoidFromFirstCommit(file, size, header), header, report, error);
}

struct FoundRecord {
    int32_t code;
    uint64_t pos;  // of the record
};

// Searches the input for block records and commit records.
class RecordSearch {
public:
    RecordSearch(std::FILE* file, uint64_t size, const RecoverOptions& options)
        : file_(file), size_(size), options_(options) {}
    ~RecordSearch() {
        if (probe_ >= 0) ::close(probe_);
    }
    // Asks `path` for the holes of a sparse file, through a descriptor of its own so that
    // the stream's idea of its position stays true; when it names the file being read.
    void ProbeHolesOf(const std::string& path);

    bool Run(RecoverReport* report);
    // Whether the record at `pos` belongs to a save that committed: the map's first save
    // (written whole before the map had its name), or a save a commit record names.
    bool Committed(uint64_t pos) const;
    void SetFirstSaveEnd(uint64_t end) { firstSaveEnd_ = end; }
    const std::vector<FoundRecord>& records() const { return records_; }

private:
    bool Examine(uint64_t pos, const uint8_t* at, size_t available, uint64_t* next, RecoverReport* report);
    void SkipHole(uint64_t* pos) const;

    std::FILE* file_;
    uint64_t size_;
    const RecoverOptions& options_;
    uint64_t firstSaveEnd_ = kHeaderBytes;
    std::vector<FoundRecord> records_;               // intact block records, in file order
    std::map<uint64_t, uint64_t> sessions_;          // start -> end of each save a commit record names
    std::vector<uint8_t> record_ = std::vector<uint8_t>(kBlockRecordBytes);
    int probe_ = -1;
};

void RecordSearch::ProbeHolesOf(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat a, b;
    if (fd >= 0 && ::fstat(fd, &a) == 0 && ::fstat(::fileno(file_), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino) {
        probe_ = fd;
    } else if (fd >= 0) {
        ::close(fd);
    }
}

bool RecordSearch::Committed(uint64_t pos) const {
    if (pos < firstSaveEnd_) return true;
    auto after = sessions_.upper_bound(pos);
    if (after == sessions_.begin()) return false;
    --after;
    return pos < after->second;
}

// Holes of a sparse file hold no record: the search jumps to the next data.
void RecordSearch::SkipHole(uint64_t* pos) const {
    if (probe_ < 0) return;
    off_t data = ::lseek(probe_, static_cast<off_t>(*pos), SEEK_DATA);
    if (data < 0) {
        if (errno == ENXIO) *pos = size_;  // nothing but a hole up to the end; else read on
        return;
    }
    if (static_cast<uint64_t>(data) > *pos) *pos += (static_cast<uint64_t>(data) - *pos) / 4 * 4;
}

// Looks at the tag at `pos` (`available` bytes of it are at `at`); *next is where to go on.
bool RecordSearch::Examine(uint64_t pos, const uint8_t* at, size_t available, uint64_t* next, RecoverReport* report) {
    *next = pos + 4;
    uint32_t tag = GetU32(at);
    if (tag == kCommitTag && pos + kCommitBytes <= size_) {
        uint8_t commit[kCommitBytes];
        if (!ReadAt(file_, pos, commit, sizeof commit)) return false;
        // Named by its fields, not its checksum: a damaged block record head of the save
        // fails that, yet the save did commit.
        uint64_t count = GetU32(commit + 4), start = GetU64(commit + 8), bytes = GetU64(commit + 16);
        if (start >= kHeaderBytes && start % 4 == 0 && bytes == count * kBlockRecordBytes && start + bytes == pos) {
            sessions_[start] = pos;
        }
        return true;
    }
    if (tag != kBlockTag || pos + kBlockRecordBytes > size_) return true;
    uint8_t head[kBlockHeaderBytes];
    if (available < kBlockHeaderBytes && !ReadAt(file_, pos, head, sizeof head)) return false;
    const uint8_t* h = available < kBlockHeaderBytes ? head : at;
    int32_t code = static_cast<int32_t>(GetU32(h + 4));
    int32_t row = 0, col = 0;
    // A run of tags, or a code no map has: no record starts here, and none is read.
    if (GetU32(h + 4) == kBlockTag) return true;
    if (!MapBlockOrigin(code, &row, &col) || row >= kMaxMapRows || col >= kMaxMapColumns) {
        ++report->damagedRecords;
        return true;
    }
    if (!ReadAt(file_, pos, record_.data(), record_.size())) return false;
    if (BlockChecksum(code, &record_[kBlockHeaderBytes]) != GetU32(&record_[8])) {
        ++report->damagedRecords;
        return true;
    }
    ++report->intactRecords;
    records_.push_back(FoundRecord{code, pos});
    *next = pos + kBlockRecordBytes;
    return true;
}

bool RecordSearch::Run(RecoverReport* report) {
    std::vector<uint8_t> chunk(kChunkBytes);
    uint64_t pos = kHeaderBytes;
    while (pos + kCommitBytes <= size_) {
        SkipHole(&pos);
        if (pos + kCommitBytes > size_) break;
        size_t length = static_cast<size_t>(std::min<uint64_t>(kChunkBytes, size_ - pos));
        if (!ReadAt(file_, pos, chunk.data(), length)) return false;
        const uint64_t base = pos;
        // Tags inside the chunk, until a record carries the search past it.
        for (size_t i = 0; i + 4 <= length && pos < base + length; i = static_cast<size_t>(pos - base)) {
            uint32_t tag = GetU32(&chunk[i]);
            pos = base + i + 4;
            if ((tag == kBlockTag || tag == kCommitTag) && !Examine(base + i, &chunk[i], length - i, &pos, report)) {
                return false;
            }
        }
        if (options_.progress != nullptr && !options_.progress(kSearchShare * double(pos) / double(size_), nullptr,
                                                                options_.progressData)) {
            return false;
        }
    }
    return true;
}

// The copy each block gets: the newest intact record of a committed save, or of any save
// when asked. Blocks with a newer record of a save that never committed are named.
std::map<int32_t, uint64_t> ChooseCopies(const RecordSearch& search, const MapHeader& header, bool takeUncommitted,
                                         RecoverReport* report) {
    std::map<int32_t, uint64_t> chosen;
    std::set<int32_t> uncommitted;
    for (const FoundRecord& record : search.records()) {
        if (!CodeInGrid(header, record.code)) {
            ++report->outsideGrid;
            continue;
        }
        bool committed = search.Committed(record.pos);
        if (!committed) ++report->uncommittedRecords;
        if (!committed && !takeUncommitted) {
            uncommitted.insert(record.code);
            continue;
        }
        if (chosen.count(record.code) != 0) ++report->olderCopies;
        chosen[record.code] = record.pos + kBlockHeaderBytes;
        if (committed) uncommitted.erase(record.code);
        else uncommitted.insert(record.code);
    }
    report->uncommittedCodes.assign(uncommitted.begin(), uncommitted.end());
    return chosen;
}

void CountMissing(const MapHeader& header, const std::map<int32_t, uint64_t>& chosen, RecoverReport* report) {
    for (int32_t row0 = 0; row0 < header.height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < header.width; col0 += kMapBlockSide) {
            int32_t code = MapBlockCode(row0, col0);
            if (chosen.count(code) != 0) continue;
            report->missingCodes.push_back(code);
            ++report->missing;
        }
    }
    report->lost = report->missing > 0 && (report->damagedRecords > 0 || report->uncommittedRecords > 0 ||
                                           header.creationBlocks >= GridBlockCount(header));
}

// Where the map's first save ends: after the blocks its header counts, or the run of
// block records from the header on, whichever reaches further.
uint64_t FirstSaveEnd(std::FILE* file, uint64_t size, const MapHeader& header) {
    uint64_t counted = header.creationBlocks <= GridBlockCount(header) ? header.creationBlocks : 0;
    uint64_t end = kHeaderBytes;
    uint8_t tag[4];
    while (end + kBlockRecordBytes <= size && ReadAt(file, end, tag, sizeof tag) && GetU32(tag) == kBlockTag) {
        end += kBlockRecordBytes;
    }
    return std::max(end, kHeaderBytes + counted * kBlockRecordBytes);
}

}  // namespace

bool RecoverMap(const std::string& in, const std::string& out, const RecoverOptions& options, RecoverReport* report,
                std::string* error) {
    *report = RecoverReport();
    if (SameFile(in, out)) {
        return *error = out + " is the map being recovered (" + in + "); recover never writes over its input. " +
                        "Nothing was written; recover into a new file, check it, then put it in the map's place",
               false;
    }
    MapStreamWriter writer;
    if (!writer.Lock(out, error)) return false;
    std::string why;
    FileCloser file(OpenRegularFile(in, "rb", &why), std::fclose);
    if (!file) return *error = "cannot open " + in + ": " + why, false;
    uint64_t size = 0;
    if (!SizeOf(file.get(), &size)) return *error = "cannot read the size of " + in, false;
    MapHeader header;
    if (!RecoverHeader(file.get(), size, options, &header, report, error)) return false;
    RecordSearch search(file.get(), size, options);
    search.SetFirstSaveEnd(FirstSaveEnd(file.get(), size, header));
    search.ProbeHolesOf(in);
    if (!search.Run(report)) return *error = "cannot read " + in + " (or interrupted); nothing was written", false;
    std::map<int32_t, uint64_t> chosen = ChooseCopies(search, header, options.takeUncommitted, report);
    CountMissing(header, chosen, report);
    if (!writer.Begin(out, header, error)) return false;
    std::vector<uint8_t> stored(kMapBlockBytes);
    std::vector<int16_t> block(kMapBlockSamples);
    for (const auto& copy : chosen) {
        if (!ReadAt(file.get(), copy.second, stored.data(), stored.size())) return *error = "cannot read " + in, false;
        SamplesFromStored(stored.data(), block.data());
        if (!writer.AppendBlock(copy.first, block.data(), error)) return false;
        ++report->blocks;
        double done = kSearchShare + (1 - kSearchShare) * double(report->blocks) / double(chosen.size());
        if (options.progress != nullptr && !options.progress(done, nullptr, options.progressData)) {
            return *error = "interrupted; nothing was written", false;
        }
    }
    if (!writer.Finish(error)) return false;
    if (options.progress != nullptr) options.progress(1.0, nullptr, options.progressData);
    return true;
}

namespace {

std::string AllCodes(const std::vector<int32_t>& codes) {
    std::string text;
    for (int32_t code : codes) text += " " + std::to_string(code);
    return text;
}

}  // namespace

std::string DescribeRecovery(const RecoverReport& r, bool tookUncommitted) {
    std::string text = "georeference: " + r.headerSource + "\n";
    text += "void value: " + r.voidSource + "\n";
    text += "intact block records: " + std::to_string(r.intactRecords) + " (" + std::to_string(r.olderCopies) +
            " older copies replaced by newer ones, " + std::to_string(r.outsideGrid) + " outside the grid)\n";
    text += "damaged block records: " + std::to_string(r.damagedRecords) + "\n";
    if (r.uncommittedRecords > 0) {
        text += "intact block records of saves that never committed: " + std::to_string(r.uncommittedRecords) + "\n";
    }
    if (!r.uncommittedCodes.empty()) {
        text += tookUncommitted ? "blocks taken from a save that never committed (it may hold half an edit):"
                                : "blocks left at their last committed copy, a save that never committed holding a "
                                  "newer one (--take-uncommitted takes it):";
        text += AllCodes(r.uncommittedCodes) + "\n";
    }
    text += "blocks written: " + std::to_string(r.blocks) + "\n";
    if (r.missing > 0) {
        text += r.lost ? "blocks lost, without an intact record (they read as sea level): "
                       : "blocks never saved, without any record (they read as sea level): ";
        text += std::to_string(r.missing) + ":" + AllCodes(r.missingCodes) + "\n";
    }
    return text;
}
