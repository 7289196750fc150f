// Reading a map file: the index of the newest readable copy of each block.
#include <cstring>
#include <set>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"

using namespace mapfile;

namespace {

// A record whose code lies outside the grid but whose checksum passes is a block of some
// other grid; one that fails its checksum is a damaged record, whatever its code says.
std::string OutsideWarning(const ScannedBlock& block) {
    uint64_t record = block.offset - kBlockHeaderBytes;
    if (!block.intact) {
        return "the block record at offset " + Offset(record) +
               " is damaged (it fails its checksum, and its block code is no block of this map); ignored";
    }
    return "block " + std::to_string(block.code) + " at offset " + Offset(block.offset) +
           " lies outside the map's grid; ignored";
}

// What the reader does about a damaged copy of an in-grid block, known once every record
// has been seen.
std::string DamagedCopyWarning(const ScannedBlock& block, bool readable) {
    std::string code = std::to_string(block.code);
    return "block " + code + " at offset " + Offset(block.offset) + " fails its checksum; " +
           (readable ? "another saved copy of block " + code + " is read instead"
                     : "block " + code + " has no other readable copy, so reading it fails");
}

void CloseFile(std::FILE* file) {
    if (file != nullptr) std::fclose(file);
}

}  // namespace

bool MapFileReader::Open(const std::string& path, std::string* error) { return OpenChecking(path, true, error); }

bool MapFileReader::OpenForOnePass(const std::string& path, std::string* error) {
    return OpenChecking(path, false, error);
}

// A failed open leaves the reader as it was.
bool MapFileReader::OpenChecking(const std::string& path, bool checkNow, std::string* error) {
    std::string why;
    std::shared_ptr<std::FILE> file(OpenRegularFile(path, "rb", &why), CloseFile);
    if (!file) return SetError(error, "cannot open map file " + path + ": " + why), false;
    MapHeader header;
    ScanResult scan;
    uint64_t fileSize = 0;
    std::string problem;
    if (!ScanFile(file.get(), checkNow, &header, &scan, &fileSize, &problem)) {
        return SetError(error, "map file " + path + ": " + problem), false;
    }
    bool damaged = scan.damaged;
    std::map<int32_t, BlockCopy> blocks;
    std::multimap<int32_t, BlockCopy> older;
    std::vector<std::pair<int32_t, BlockCopy>> unchecked;
    std::vector<uint8_t> stored;
    std::vector<std::pair<size_t, ScannedBlock>> damagedCopies;  // warning index, record
    for (ScannedBlock block : scan.committed) {
        bool inGrid = CodeInGrid(header, block.code);
        // A code outside the grid is far more often a damaged code than a true block of
        // another grid: its samples tell which.
        if (!checkNow && !inGrid) {
            stored.resize(kMapBlockBytes);
            block.intact = ReadAt(file.get(), block.offset, stored.data(), stored.size()) &&
                           BlockChecksum(block.code, stored.data()) == block.checksum;
        }
        if (inGrid && block.intact) {
            auto previous = blocks.find(block.code);
            if (!checkNow && previous != blocks.end()) older.emplace(block.code, previous->second);
            blocks[block.code] = BlockCopy{block.offset, block.checksum};
            if (!checkNow) unchecked.emplace_back(block.code, BlockCopy{block.offset, block.checksum});
            continue;
        }
        // A damaged record's code is as doubtful as its samples.
        damaged = damaged || !block.intact;
        if (inGrid) damagedCopies.emplace_back(scan.warnings.size(), block);
        scan.warnings.push_back(inGrid ? std::string() : OutsideWarning(block));
    }
    std::set<int32_t> rolledBack;
    for (const auto& copy : damagedCopies) {
        auto readable = blocks.find(copy.second.code);
        scan.warnings[copy.first] = DamagedCopyWarning(copy.second, readable != blocks.end());
        if (readable != blocks.end() && readable->second.offset < copy.second.offset) rolledBack.insert(copy.second.code);
    }
    if (damaged && blocks.empty()) {
        std::string reason = "map file " + path + " holds no readable data";
        if (!scan.warnings.empty()) reason += " (" + scan.warnings.front() + ")";
        return SetError(error, reason), false;
    }
    saves_.clear();
    size_t next = 0;
    for (size_t size : scan.sessionSizes) {
        saves_.emplace_back();
        for (size_t i = 0; i < size; ++i) saves_.back().push_back(scan.committed[next++].code);
    }
    path_ = path;
    fileSize_ = fileSize;
    committedEnd_ = scan.committedEnd;
    tailIsInterruptedSave_ = scan.tailIsInterruptedSave;
    file_ = std::move(file);
    blocks_ = std::move(blocks);
    older_ = std::move(older);
    unchecked_ = std::move(unchecked);
    allChecked_ = unchecked_.empty();
    header_ = header;
    warnings_ = std::move(scan.warnings);
    damaged_ = damaged;
    rolledBack_.assign(rolledBack.begin(), rolledBack.end());
    voidValueUnreadable_ = scan.voidValueUnreadable;
    return true;
}

bool MapFileReader::ReadBlock(int32_t code, int16_t* samples, std::string* error) const {
    std::memset(samples, 0, kMapBlockBytes);
    auto found = blocks_.find(code);
    if (found == blocks_.end()) {
        if (!CodeInGrid(header_, code)) return true;
        if (!damaged_ && !allChecked_) CheckUncheckedCopies();
        if (!damaged_) return true;
        return SetError(error, "block " + std::to_string(code) + " of " + path_ +
                                   " has no readable copy, and damaged data in the file may have held one"),
               false;
    }
    std::vector<uint8_t> stored(kMapBlockBytes);
    if (!file_ || !ReadAt(file_.get(), found->second.offset, stored.data(), stored.size())) {
        return SetError(error, "cannot read block " + std::to_string(code) + " of " + path_), false;
    }
    bool intact = BlockChecksum(code, stored.data()) == found->second.checksum;
    if (!intact) damaged_ = true;
    // Earlier copies, newest first, when the newest was not checked on opening.
    auto range = older_.equal_range(code);
    for (auto copy = range.second; !intact && copy != range.first;) {
        --copy;
        intact = ReadAt(file_.get(), copy->second.offset, stored.data(), stored.size()) &&
                 BlockChecksum(code, stored.data()) == copy->second.checksum;
    }
    if (!intact) {
        return SetError(error, "block " + std::to_string(code) + " of " + path_ + " fails its checksum"), false;
    }
    SamplesFromStored(stored.data(), samples);
    return true;
}

void MapFileReader::CheckUncheckedCopies() const {
    allChecked_ = true;
    std::vector<uint8_t> stored(kMapBlockBytes);
    for (const auto& copy : unchecked_) {
        bool intact = file_ && ReadAt(file_.get(), copy.second.offset, stored.data(), stored.size()) &&
                      BlockChecksum(copy.first, stored.data()) == copy.second.checksum;
        if (!intact) {
            damaged_ = true;
            return;
        }
    }
}

bool MapFileReader::HasBlock(int32_t code) const { return blocks_.count(code) != 0; }

uint64_t MapFileReader::UnreadableBlocks(size_t limit, std::vector<int32_t>* codes) const {
    codes->clear();
    if (!damaged_ && !allChecked_) CheckUncheckedCopies();
    if (!damaged_) return 0;
    uint64_t count = 0;
    for (int32_t row0 = 0; row0 < header_.height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < header_.width; col0 += kMapBlockSide) {
            int32_t code = MapBlockCode(row0, col0);
            if (blocks_.count(code) != 0) continue;
            if (codes->size() < limit) codes->push_back(code);
            ++count;
        }
    }
    return count;
}

std::vector<int32_t> MapFileReader::BlockCodes() const {
    std::vector<int32_t> codes;
    codes.reserve(blocks_.size());
    for (const auto& entry : blocks_) codes.push_back(entry.first);
    return codes;
}
