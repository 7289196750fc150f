#include "maptools/map_recover.h"

#include <algorithm>
#include <map>
#include <memory>

#include "mapstore/file_io.h"
#include "mapstore/map_format.h"
#include "maptools/map_stream.h"
#include "maptools/sidecar_json.h"

using namespace mapfile;

namespace {

const size_t kChunkBytes = 1 << 16;
const size_t kListedCodes = 40;

using FileCloser = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

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

// The map's own header (or its copy, or mended), else the sidecar's.
bool RecoverHeader(std::FILE* file, uint64_t size, const RecoverOptions& options, MapHeader* header,
                   RecoverReport* report, std::string* error) {
    std::string problem;
    if (LoadHeader(file, size, header, &report->warnings, &problem)) {
        report->headerSource = report->warnings.empty() ? "the map's header" : report->warnings.back();
        // The void value lives in the first save's commit record; kept when that is intact.
        MapHeader scanned;
        ScanResult scan;
        uint64_t scannedSize = 0;
        if (ScanFile(file, false, &scanned, &scan, &scannedSize, &problem)) {
            header->hasVoidValue = scanned.hasVoidValue;
            header->voidValue = scanned.voidValue;
        }
        return true;
    }
    if (options.georef.empty()) {
        return *error = "no intact header or header copy is left (" + problem +
                        "); give the georeference with --georef SIDECAR.json (the keys from-raw reads) and the "
                        "map type with --type and --mat",
               false;
    }
    if (!HeaderFromSidecar(options, header, error)) return false;
    report->headerSource = "the map's header is lost (" + problem + "); the georeference of " + options.georef + " is used";
    return true;
}

// Every intact block record, the last in the file winning: code -> offset of its samples.
bool FindRecords(std::FILE* file, uint64_t size, const MapHeader& header, std::map<int32_t, uint64_t>* newest,
                 RecoverReport* report) {
    std::vector<uint8_t> chunk(kChunkBytes), record(kBlockRecordBytes);
    uint64_t pos = kHeaderBytes;
    while (pos + kBlockRecordBytes <= size) {
        size_t length = static_cast<size_t>(std::min<uint64_t>(kChunkBytes, size - pos));
        if (!ReadAt(file, pos, chunk.data(), length)) return false;
        size_t i = 0;
        while (i + 4 <= length && GetU32(&chunk[i]) != kBlockTag) i += 4;
        pos += i;
        if (i + 4 > length || pos + kBlockRecordBytes > size) continue;
        if (!ReadAt(file, pos, record.data(), record.size())) return false;
        int32_t code = static_cast<int32_t>(GetU32(&record[4]));
        if (BlockChecksum(code, &record[kBlockHeaderBytes]) != GetU32(&record[8])) {
            ++report->damagedRecords;
            pos += 4;
            continue;
        }
        ++report->intactRecords;
        if (!CodeInGrid(header, code)) {
            ++report->outsideGrid;
        } else {
            if (newest->count(code) != 0) ++report->olderCopies;
            (*newest)[code] = pos + kBlockHeaderBytes;
        }
        pos += kBlockRecordBytes;
    }
    return true;
}

void CountMissing(const MapHeader& header, const std::map<int32_t, uint64_t>& newest, RecoverReport* report) {
    for (int32_t row0 = 0; row0 < header.height; row0 += kMapBlockSide) {
        for (int32_t col0 = 0; col0 < header.width; col0 += kMapBlockSide) {
            int32_t code = MapBlockCode(row0, col0);
            if (newest.count(code) != 0) continue;
            if (report->missingCodes.size() < kListedCodes) report->missingCodes.push_back(code);
            ++report->missing;
        }
    }
}

}  // namespace

bool RecoverMap(const std::string& in, const std::string& out, const RecoverOptions& options, RecoverReport* report,
                std::string* error) {
    *report = RecoverReport();
    MapStreamWriter writer;
    if (!writer.Lock(out, error)) return false;
    std::string why;
    FileCloser file(OpenRegularFile(in, "rb", &why), std::fclose);
    if (!file) return *error = "cannot open " + in + ": " + why, false;
    uint64_t size = 0;
    if (!SizeOf(file.get(), &size)) return *error = "cannot read the size of " + in, false;
    MapHeader header;
    if (!RecoverHeader(file.get(), size, options, &header, report, error)) return false;
    std::map<int32_t, uint64_t> newest;
    if (!FindRecords(file.get(), size, header, &newest, report)) return *error = "cannot read " + in, false;
    CountMissing(header, newest, report);
    if (!writer.Begin(out, header, error)) return false;
    std::vector<uint8_t> stored(kMapBlockBytes);
    std::vector<int16_t> block(kMapBlockSamples);
    for (const auto& copy : newest) {
        if (!ReadAt(file.get(), copy.second, stored.data(), stored.size())) return *error = "cannot read " + in, false;
        SamplesFromStored(stored.data(), block.data());
        if (!writer.AppendBlock(copy.first, block.data(), error)) return false;
        ++report->blocks;
    }
    return writer.Finish(error);
}

std::string DescribeRecovery(const RecoverReport& r) {
    std::string text = "georeference: " + r.headerSource + "\n";
    text += "intact block records: " + std::to_string(r.intactRecords) + " (" + std::to_string(r.olderCopies) +
            " older copies replaced by newer ones, " + std::to_string(r.outsideGrid) + " outside the grid)\n";
    text += "damaged block records: " + std::to_string(r.damagedRecords) + "\n";
    text += "blocks written: " + std::to_string(r.blocks) + "\n";
    text += "blocks of the grid without an intact record (they read as sea level): " + std::to_string(r.missing) +
            CodeList(r.missingCodes, r.missing) + "\n";
    return text;
}
