// The map tool's conversions: rasters made here through GDAL's API, imported, exported and
// compared sample by sample.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "mapstore/map_file.h"
#include "maptools/gdal_export.h"
#include "maptools/gdal_import.h"
#include "maptools/gdal_raster.h"
#include "maptools/map_commands.h"
#include "tests/native/raster_fixture.h"

namespace {

using namespace maptest;

// A folder where files cannot grow past a few hundred kilobytes: a small tmpfs where the
// test may mount one (the disk is then really full), else a file size limit on this
// process, which fails writes the same way without the system calling it a full disk.
class NearlyFullFolder {
public:
    explicit NearlyFullFolder(const std::string& name) : path_(TempPath(name)) {
        fs::create_directories(path_);
        mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=400k") == 0;
    }
    ~NearlyFullFolder() {
        if (mounted_) ::umount(path_.c_str());
    }
    bool reallyFull() const { return mounted_; }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    // Runs `write` with the folder full (or files limited).
    template <typename F>
    bool Fill(F write) const {
        if (mounted_) return write();
        struct rlimit old;
        ::getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit limited = old;
        limited.rlim_cur = 300 * 1024;
        void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limited);
        bool ok = write();
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        return ok;
    }

private:
    std::string path_;
    bool mounted_ = false;
};

bool Import(const std::string& source, const std::string& out, const ImportOptions& options,
            ImportReport* report, std::string* error) {
    return ImportRaster(source, out, options, report, error);
}

// ---- import from the formats DEM users have ----

TEST(MapImportTest, ReadsEachFormatWithItsSamplesAndOrigin) {
    struct Row {
        const char* driver;
        const char* file;
        int width, height;
        double lat, lon, cell;
    };
    const Row rows[] = {
        {"GTiff", "partial.tif", 700, 333, 36.75, -84.5, kArcSecond},
        {"GTiff", "narrow.tif", 1, 641, 10.0, 20.0, kArcSecond},
        {"ENVI", "grid.envi", 321, 5, -12.5, 130.25, 3 * kArcSecond},
        {"AAIGrid", "grid.asc", 50, 40, 47.0, 8.0, 0.5},
        // SRTM: 1201 x 1201 cells centred on whole 3 arc-second positions, big-endian.
        {"SRTMHGT", "N36W085.hgt", 1201, 1201, 37.0 + 1.5 * kArcSecond, -85.0 - 1.5 * kArcSecond, 3 * kArcSecond},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        TestRaster raster = GeographicRaster(row.width, row.height, row.lat, row.lon, row.cell);
        raster.driver = row.driver;
        std::string source = TempPath(row.file);
        WriteRaster(raster, source);
        std::string out = TempPath(std::string(row.file) + ".map");
        ImportReport report;
        std::string error;
        ASSERT_TRUE(Import(source, out, ImportOptions(), &report, &error)) << error;
        MapHeader header;
        std::vector<int16_t> grid = ReadGrid(out, &header);
        ASSERT_EQ(row.width, header.width);
        ASSERT_EQ(row.height, header.height);
        EXPECT_NEAR(row.lat, header.originLat, 1e-9);
        EXPECT_NEAR(row.lon, header.originLon, 1e-9);
        EXPECT_NEAR(row.cell, header.cellLat, 1e-12);
        EXPECT_NEAR(row.cell, header.cellLon, 1e-12);
        for (size_t i = 0; i < grid.size(); ++i) ASSERT_EQ(raster.values[i], grid[i]) << "sample " << i;
        EXPECT_EQ(0, report.voids + report.rounded + report.clamped);
    }
    // The files really are what the formats say: an ASCII grid names its south-west
    // corner, and .hgt samples are big-endian.
    std::string asc = ReadText(TempPath("grid.asc"));
    EXPECT_NE(std::string::npos, asc.find("yllcorner    27")) << asc.substr(0, 200);
    std::string hgt = ReadText(TempPath("N36W085.hgt"));
    ASSERT_EQ(size_t(1201 * 1201 * 2), hgt.size());
    int16_t first = static_cast<int16_t>(uint8_t(hgt[0]) << 8 | uint8_t(hgt[1]));
    EXPECT_EQ(-500, first);
}

TEST(MapImportTest, RefusesWrongGeoreferenceWithTheReasonAndTheFix) {
    struct Row {
        const char* name;
        int epsg;
        double transform[6];
        bool reproject;
        std::vector<const char*> expected;  // empty: imported
    };
    const Row rows[] = {
        {"utm", 32617, {500000, 30, 0, 4000000, 0, -30}, false,
         {"projected coordinates", "--reproject", "gdalwarp -t_srs EPSG:4326"}},
        {"rotated", 4326, {-84.0, kArcSecond, 1e-6, 36.0, 0, -kArcSecond}, false,
         {"rotated", "gdalwarp -t_srs EPSG:4326 -r bilinear "}},
        {"no-crs", 0, {-84.0, kArcSecond, 0, 36.0, 0, -kArcSecond}, false,
         {"no coordinate reference system", "gdal_translate -a_srs EPSG:4326"}},
        {"nad27", 4267, {-84.0, kArcSecond, 0, 36.0, 0, -kArcSecond}, false, {"not WGS 84", "--reproject"}},
        {"south-up", 4326, {-84.0, kArcSecond, 0, 36.0, 0, kArcSecond}, false, {"not north-up"}},
        {"past-180", 4326, {179.99, 0.001, 0, 36.0, 0, -0.001}, false,
         {"past 180", "can't cross longitude 180", "gdal_translate -srcwin 0 0 10 30 -a_ullr 179.99",
          "gdal_translate -srcwin 10 0 30 30 -a_ullr -180 36 -179.97"}},
        {"lat-100", 4326, {10.0, 0.001, 0, 100.0, 0, -0.001}, false, {"latitude 100"}},
        {"utm-reproject", 32617, {500000, 30, 0, 4000000, 0, -30}, true, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestRaster raster = GeographicRaster(40, 30, 0, 0);
        std::copy(row.transform, row.transform + 6, raster.transform);
        raster.epsg = row.epsg;
        std::string source = TempPath(std::string(row.name) + ".tif");
        WriteRaster(raster, source);
        std::string out = TempPath(std::string(row.name) + ".map");
        fs::remove(out);
        ImportOptions options;
        options.reproject = row.reproject;
        options.setVoids = true;  // a warped rectangle has empty corners
        ImportReport report;
        std::string error;
        bool ok = Import(source, out, options, &report, &error);
        EXPECT_EQ(row.expected.empty(), ok) << error;
        EXPECT_EQ(ok, fs::exists(out));
        for (const char* text : row.expected) EXPECT_NE(std::string::npos, error.find(text)) << error;
        if (!ok) continue;
        // UTM 17N (500 km, 4000 km) lies at 81 W, about 36.1 N; 30 m is about 1 arc-second.
        EXPECT_TRUE(report.reprojected);
        EXPECT_NEAR(-81.0, report.header.originLon, 0.01);
        EXPECT_NEAR(36.14, report.header.originLat, 0.01);
        EXPECT_NEAR(kArcSecond, report.header.cellLat, 0.3 * kArcSecond);
        EXPECT_LT(report.voidsSet, report.header.width * report.header.height / 4);
    }
}

TEST(MapImportTest, VoidsAreRefusedFilledOrSet) {
    struct Row {
        const char* name;
        GDALDataType type;
        bool hasNoData;
        bool fill;
        bool set;
        const char* error;   // nullptr: imported
        int16_t voidSample;  // what the voids hold when imported
    };
    const Row rows[] = {
        {"refused", GDT_Int16, true, false, false, "3 cells are voids (nodata value -32768)", 0},
        {"refused-nan", GDT_Float32, false, false, false, "3 cells are voids (NaN)", 0},
        {"filled", GDT_Int16, true, true, false, nullptr, 100},
        {"filled-nan", GDT_Float32, false, true, false, nullptr, 100},
        {"set", GDT_Int16, true, false, true, nullptr, -7},
    };
    const size_t voidCells[] = {25, 26, 77};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestRaster raster = GeographicRaster(30, 20, 46.0, 7.0);
        raster.type = row.type;
        raster.hasNoData = row.hasNoData;
        raster.noData = -32768;
        raster.values.assign(raster.values.size(), 100.0);
        for (size_t cell : voidCells) raster.values[cell] = row.hasNoData ? -32768.0 : kNaN;
        std::string source = TempPath(std::string(row.name) + ".tif");
        WriteRaster(raster, source);
        // A map already under the name stays as it was when the import is refused.
        std::string out = TempPath(std::string(row.name) + ".map");
        std::string error;
        ASSERT_TRUE(SyntheticMap(10, 10, out, NewMapOptions(), &error)) << error;
        std::string before = ReadText(out);
        ImportOptions options;
        options.fillVoids = row.fill;
        options.setVoids = row.set;
        options.voidValue = -7;
        ImportReport report;
        bool ok = Import(source, out, options, &report, &error);
        EXPECT_EQ(row.error == nullptr, ok) << error;
        EXPECT_EQ(3, report.voids);
        if (!ok) {
            EXPECT_NE(std::string::npos, error.find(row.error)) << error;
            EXPECT_NE(std::string::npos, error.find("--fill-voids")) << error;
            EXPECT_TRUE(before == ReadText(out));
            continue;
        }
        EXPECT_EQ(row.fill ? 3 : 0, report.voidsFilled);
        EXPECT_EQ(row.set ? 3 : 0, report.voidsSet);
        MapHeader header;
        std::vector<int16_t> grid = ReadGrid(out, &header);
        for (size_t cell : voidCells) EXPECT_EQ(row.voidSample, grid[cell]) << "cell " << cell;
        EXPECT_EQ(100, grid[0]);
    }
}

// Rasters that give no map are refused before anything is written: the refusal is the
// same on a nearly full disk, and the folder gains nothing. Infinities are voids; complex
// bands are not elevations.
TEST(MapImportTest, RefusesVoidsAndComplexBandsBeforeWritingAnything) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char* name;
        int size;
        GDALDataType type;
        double value;     // of every cell, or of three cells when `three`
        bool three;
        bool setVoids;
        const char* error;  // nullptr: imported
    };
    const Row rows[] = {
        {"all voids", 2000, GDT_Float32, kNaN, false, false, "4000000 cells are voids (NaN)"},
        {"infinities", 40, GDT_Float32, inf, true, false, "3 cells are voids (NaN or infinite)"},
        {"negative infinities", 40, GDT_Float64, -inf, true, false, "3 cells are voids (NaN or infinite)"},
        {"infinities set", 40, GDT_Float32, inf, true, true, nullptr},
        {"complex", 40, GDT_CFloat32, 5.0, false, false, "complex numbers (CFloat32)"},
    };
    NearlyFullFolder full("full-import");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestRaster raster = GeographicRaster(row.size, row.size, 46.0, 7.0);
        raster.type = row.type;
        if (row.three) {
            for (size_t cell : {size_t(3), size_t(50), size_t(51)}) raster.values[cell] = row.value;
        } else {
            raster.values.assign(raster.values.size(), row.value);
        }
        std::string source = TempPath(std::string(row.name) + ".tif");
        WriteRaster(raster, source);
        std::string out = full.Path("imported.map");
        fs::remove(out);
        ImportOptions options;
        options.setVoids = row.setVoids;
        options.voidValue = -7;
        ImportReport report;
        std::string error;
        bool ok = full.Fill([&] { return Import(source, out, options, &report, &error); });
        EXPECT_EQ(row.error == nullptr, ok) << error;
        size_t files = std::distance(fs::directory_iterator(full.Path("")), fs::directory_iterator());
        EXPECT_EQ(ok ? 1u : 0u, files);
        if (!ok) {
            EXPECT_NE(std::string::npos, error.find(row.error)) << error;
            continue;
        }
        MapHeader header;
        std::vector<int16_t> grid = ReadGrid(out, &header);
        EXPECT_EQ(-7, grid[50]);
        EXPECT_EQ(3, report.voidsSet);
        EXPECT_EQ(0, report.clamped);
    }
}

// Filling between 28 and 32 gives 30, the nodata value itself: still a filled height.
TEST(MapImportTest, FilledValuesEqualToTheNoDataValueStayFilled) {
    TestRaster raster = GeographicRaster(30, 20, 46.0, 7.0);
    raster.hasNoData = true;
    raster.noData = 30;
    for (size_t i = 0; i < raster.values.size(); ++i) raster.values[i] = double(i % 30) * 2;
    WriteRaster(raster, TempPath("ramp.tif"));
    ImportOptions options;
    options.fillVoids = true;
    ImportReport report;
    std::string error;
    ASSERT_TRUE(Import(TempPath("ramp.tif"), TempPath("ramp.map"), options, &report, &error)) << error;
    EXPECT_EQ(20, report.voids);
    EXPECT_EQ(20, report.voidsFilled);
    MapHeader header;
    std::vector<int16_t> grid = ReadGrid(TempPath("ramp.map"), &header);
    for (int row = 0; row < 20; ++row) EXPECT_EQ(30, grid[size_t(row) * 30 + 15]) << "row " << row;
}

TEST(MapImportTest, RoundsToWholeMetresAndClampsToInt16Counted) {
    struct Row {
        double value;
        int16_t sample;
    };
    const Row rows[] = {
        {1.4, 1},       {1.5, 2},         {-1.5, -2},         {-2.5, -3},          {2.0, 2},
        {40000, 32767}, {-40000, -32768}, {32767.4, 32767},   {-32768.6, -32768},  {-0.4, 0},
    };
    TestRaster raster = GeographicRaster(10, 1, 0.5, 0.5);
    raster.type = GDT_Float64;
    for (size_t i = 0; i < 10; ++i) raster.values[i] = rows[i].value;
    std::string source = TempPath("floats.tif");
    WriteRaster(raster, source);
    ImportReport report;
    std::string error;
    ASSERT_TRUE(Import(source, TempPath("floats.map"), ImportOptions(), &report, &error)) << error;
    MapHeader header;
    std::vector<int16_t> grid = ReadGrid(TempPath("floats.map"), &header);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(rows[i].sample, grid[i]) << rows[i].value;
    EXPECT_EQ(7, report.rounded);
    EXPECT_EQ(3, report.clamped);
    EXPECT_EQ(-32768, report.minimum);
    EXPECT_EQ(32767, report.maximum);
}

// ---- export, round trips and compaction ----

// A two-save map whose edge block holds values past the map's width in the later save.
std::string EditedMap(const std::string& name) {
    std::string path = TempPath(name);
    std::string error;
    EXPECT_TRUE(SyntheticMap(700, 333, path, NewMapOptions(), &error)) << error;
    MapSaveSession session;
    std::vector<int16_t> block(kMapBlockSamples, -1234);
    EXPECT_TRUE(session.Begin(path, &error)) << error;
    EXPECT_TRUE(session.Append(MapBlockCode(320, 640), block.data(), &error)) << error;
    EXPECT_TRUE(session.Commit(&error)) << error;
    return path;
}

TEST(MapExportTest, GeoTiffAndRawRoundTripsAreBitExact) {
    std::string map = EditedMap("edited.map");
    std::vector<std::string> written, warnings;
    std::string error;
    ASSERT_TRUE(ExportMap(map, TempPath("edited.tif"), kDefaultExportFormat, &written, &warnings, &error)) << error;
    ImportReport report;
    ASSERT_TRUE(Import(TempPath("edited.tif"), TempPath("from-tif.map"), ImportOptions(), &report, &error)) << error;
    ExpectSameMap(map, TempPath("from-tif.map"));

    ASSERT_TRUE(ExportMap(map, TempPath("edited.raw"), kRawFormat, &written, &warnings, &error)) << error;
    EXPECT_EQ(TempPath("edited.json"), written.at(1));
    // Only the map's own samples: 700 x 333, none of the edge block's overhang.
    EXPECT_EQ(uintmax_t(700 * 333 * 2), fs::file_size(TempPath("edited.raw")));
    ASSERT_TRUE(MapFromRaw(TempPath("edited.raw"), TempPath("edited.json"), TempPath("from-raw.map"),
                           NewMapOptions(), &error)) << error;
    ExpectSameMap(map, TempPath("from-raw.map"));
    MapHeader header;
    std::vector<int16_t> grid = ReadGrid(TempPath("from-raw.map"), &header);
    EXPECT_EQ(-1234, grid[333 * 700 - 1]);
    EXPECT_NE(-1234, grid[320 * 700 + 639]);

    // A driver that only copies goes through a staging GeoTIFF; an unknown one is named.
    ASSERT_TRUE(ExportMap(map, TempPath("edited.asc"), "AAIGrid", &written, &warnings, &error)) << error;
    EXPECT_FALSE(fs::exists(TempPath("edited.asc.export.tif")));
    EXPECT_FALSE(ExportMap(map, TempPath("x.out"), "NoSuchDriver", &written, &warnings, &error));
    EXPECT_NE(std::string::npos, error.find("NoSuchDriver")) << error;
}

TEST(MapFromRawTest, RefusesHostileInputWithAReasonAndWritesNothing) {
    const std::string good = "{\"width\": 3, \"height\": 2, \"origin_lat\": 36.5, \"origin_lon\": -84, "
                             "\"cell_size_deg_x\": 0.001, \"cell_size_deg_y\": 0.001}";
    struct Row {
        std::string sidecar;
        size_t rawBytes;
        const char* error;
    };
    const Row rows[] = {
        {good, 12, nullptr},
        {good, 10, "holds 10 bytes; width * height * 2 is 12"},
        {good, 14, "holds 14 bytes"},
        {"{\"width\": 3, \"height\": 2, \"origin_lat\": -90, \"origin_lon\": -84, "
         "\"cell_size_deg_x\": 0.001, \"cell_size_deg_y\": 0.001}", 12, "past the south pole"},
        {"{\"width\": 3e9, \"height\": 2, \"origin_lat\": 36.5, \"origin_lon\": -84, "
         "\"cell_size_deg_x\": 0.001, \"cell_size_deg_y\": 0.001}", 12, "width is not"},
        {"{\"width\": 3}", 12, "missing number \"height\""},
        {"[1, 2]", 12, "expected '{'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sidecar + " with " + std::to_string(row.rawBytes) + " bytes");
        std::ofstream(TempPath("hostile.json"), std::ios::binary | std::ios::trunc) << row.sidecar;
        std::ofstream(TempPath("hostile.raw"), std::ios::binary | std::ios::trunc) << std::string(row.rawBytes, '\x01');
        std::string out = TempPath("hostile.map");
        fs::remove(out);
        std::string error;
        bool ok = MapFromRaw(TempPath("hostile.raw"), TempPath("hostile.json"), out, NewMapOptions(), &error);
        EXPECT_EQ(row.error == nullptr, ok) << error;
        EXPECT_EQ(ok, fs::exists(out));
        if (row.error != nullptr) {
            EXPECT_NE(std::string::npos, error.find(row.error)) << error;
        }
    }
}

TEST(MapCompactTest, KeepsTheNewestCopyOfEachBlockInOneSave) {
    std::string map = EditedMap("compact-in.map");
    std::string out = TempPath("compact-out.map");
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(CompactMap(map, out, &warnings, &error)) << error;
    ExpectSameMap(map, out);
    MapFileReader reader;
    ASSERT_TRUE(reader.Open(out, &error)) << error;
    ASSERT_EQ(1u, reader.saves().size());
    EXPECT_EQ(6u, reader.saves()[0].size());
    // In place: the same samples, one save, no file left beside it.
    std::string copy = TempPath("compact-copy.map");
    fs::copy_file(map, copy, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(CompactMap(copy, copy, &warnings, &error)) << error;
    ExpectSameMap(map, copy);
    EXPECT_LT(fs::file_size(copy), fs::file_size(map));
    EXPECT_FALSE(fs::exists(copy + ".tmp"));
}

// Flips the bits of one byte of a file.
void FlipByte(const std::string& path, uint64_t offset) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    char byte = 0;
    file.get(byte);
    file.seekp(static_cast<std::streamoff>(offset));
    file.put(static_cast<char>(byte ^ 0xFF));
}

const uint64_t kFirstRecordCodeOffset = 72 + 4;

// A block whose record is damaged is never compacted into sea level: compaction refuses
// and names it, or drops it only when asked. In place, the map keeps its mode and owner.
TEST(MapCompactTest, NeverTurnsADamagedBlockIntoSeaLevel) {
    struct Row {
        const char* name;
        bool damaged;
        bool dropDamaged;
        bool ok;
    };
    const Row rows[] = {
        {"intact", false, false, true},
        {"damaged, refused", true, false, false},
        {"damaged, dropped on request", true, true, true},
    };
    const uid_t otherOwner = 4321;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string map = EditedMap("compact-damaged.map");
        std::string original = TempPath("compact-original.map");
        fs::copy_file(map, original, fs::copy_options::overwrite_existing);
        if (row.damaged) FlipByte(map, kFirstRecordCodeOffset);
        fs::permissions(map, fs::perms(0640));
        bool owned = ::chown(map.c_str(), otherOwner, otherOwner) == 0;  // only where we may
        std::string before = ReadText(map);
        CompactReport report;
        std::string error;
        bool ok = CompactMap(map, map, row.dropDamaged, &report, &error);
        ASSERT_EQ(row.ok, ok) << error;
        EXPECT_EQ(fs::perms(0640), fs::status(map).permissions() & fs::perms::all);
        struct stat st;
        ASSERT_EQ(0, ::stat(map.c_str(), &st));
        if (owned) {
            EXPECT_EQ(otherOwner, st.st_uid);
        }
        if (!ok) {
            EXPECT_NE(std::string::npos, error.find("no readable copy")) << error;
            EXPECT_NE(std::string::npos, error.find(": 0.")) << error;
            EXPECT_NE(std::string::npos, error.find("--drop-damaged")) << error;
            EXPECT_TRUE(before == ReadText(map)) << "a refused compaction changes nothing";
            continue;
        }
        EXPECT_EQ(row.damaged ? 1u : 0u, report.dropped);
        MapFileReader reader;
        ASSERT_TRUE(reader.Open(map, &error)) << error;
        EXPECT_EQ(row.damaged ? 5u : 6u, reader.saves().at(0).size());
        EXPECT_EQ(!row.damaged, reader.HasBlock(0));
        if (!row.damaged) {
            ExpectSameMap(original, map);
        }
    }
}

// Files in the test folder whose names show a tool's temporary output.
std::vector<std::string> LeftoverTemporaries() {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(fs::path(TempPath("x")).parent_path())) {
        std::string name = entry.path().filename().string();
        if (name.find(".zolva-") != std::string::npos || name.find(".tmp") != std::string::npos) found.push_back(name);
    }
    return found;
}

// A block lost to damage is never exported as sea level: the export fails naming it, and
// an earlier export under the name stays as it was.
TEST(MapExportTest, ALostBlockFailsTheExportAndKeepsTheOldFile) {
    std::string map = EditedMap("export-damaged.map");
    std::vector<std::string> written, warnings;
    std::string error;
    for (const char* format : {kDefaultExportFormat, kRawFormat, "AAIGrid"}) {
        SCOPED_TRACE(format);
        std::string out = TempPath(std::string("export-damaged.") + format);
        EditedMap("export-damaged.map");  // intact again
        ASSERT_TRUE(ExportMap(map, out, format, &written, &warnings, &error)) << error;
        const std::vector<std::string> files = written;
        std::vector<std::string> before;
        for (const std::string& file : files) before.push_back(ReadText(file));
        FlipByte(map, kFirstRecordCodeOffset);
        EXPECT_FALSE(ExportMap(map, out, format, &written, &warnings, &error));
        EXPECT_NE(std::string::npos, error.find("block 0 ")) << error;
        EXPECT_NE(std::string::npos, error.find("no readable copy")) << error;
        for (size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(before[i] == ReadText(files[i])) << files[i];
        EXPECT_EQ(std::vector<std::string>(), LeftoverTemporaries());
    }
}

// An output that cannot be written whole leaves the earlier file under its name and a
// user's file that happens to carry the old temporary name as they were, leaves no
// temporary behind, and says why.
TEST(MapOutputTest, AFailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    std::string small = TempPath("small-output.map"), large = TempPath("large-output.map");
    std::string error;
    ASSERT_TRUE(SyntheticMap(10, 10, small, NewMapOptions(), &error)) << error;
    ASSERT_TRUE(SyntheticMap(2000, 2000, large, NewMapOptions(), &error)) << error;
    NearlyFullFolder full("full");
    const char* kinds[] = {kDefaultExportFormat, kRawFormat, "AAIGrid", "compact"};
    for (const char* kind : kinds) {
        SCOPED_TRACE(kind);
        std::string out = full.Path(std::string("out.") + kind);
        auto write = [&](const std::string& map, std::vector<std::string>* written) {
            if (std::string(kind) != "compact") {
                std::vector<std::string> warnings;
                return ExportMap(map, out, kind, written, &warnings, &error);
            }
            *written = {out};
            std::vector<std::string> warnings;
            return CompactMap(map, out, &warnings, &error);
        };
        std::vector<std::string> written;
        ASSERT_TRUE(write(small, &written)) << error;
        std::ofstream(out + ".tmp") << "a file of the user's";
        std::vector<std::string> before;
        for (const std::string& file : written) before.push_back(ReadText(file));
        std::vector<std::string> ignored;
        EXPECT_FALSE(full.Fill([&] { return write(large, &ignored); }));
        if (full.reallyFull()) {
            EXPECT_NE(std::string::npos, error.find("the disk is full")) << error;
        }
        EXPECT_NE(std::string::npos, error.find("left as it was")) << error;
        for (size_t i = 0; i < written.size(); ++i) EXPECT_TRUE(before[i] == ReadText(written[i])) << written[i];
        EXPECT_EQ("a file of the user's", ReadText(out + ".tmp"));
        fs::remove(out + ".tmp");
        for (const auto& entry : fs::directory_iterator(full.Path(""))) {
            std::string name = entry.path().filename().string();
            EXPECT_NE(std::string::npos, name.find("out.")) << name;
            EXPECT_EQ(std::string::npos, name.find("zolva-")) << "left behind: " << name;
        }
    }
}

// Every command that reads a file refuses a FIFO at once instead of waiting on it.
TEST(MapToolsTest, RefuseWhatIsNotARegularFile) {
    std::string fifo = TempPath("pipe.map");
    fs::remove(fifo);
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    std::string map = EditedMap("beside-pipe.map");
    std::string json = TempPath("beside-pipe.json");
    std::ofstream(json) << "{\"width\": 1, \"height\": 1, \"origin_lat\": 1, \"origin_lon\": 1, "
                           "\"cell_size_deg_x\": 0.1, \"cell_size_deg_y\": 0.1}";
    std::vector<std::string> written, warnings;
    ImportReport report;
    MapSaveSession session;
    MapFileReader reader;
    const struct {
        const char* name;
        std::function<bool(std::string*)> run;
    } rows[] = {
        {"info", [&](std::string* e) { std::string text; return DescribeMap(fifo, &text, e); }},
        {"export", [&](std::string* e) { return ExportMap(fifo, TempPath("pipe.tif"), "GTiff", &written, &warnings, e); }},
        {"compact", [&](std::string* e) { return CompactMap(fifo, TempPath("pipe-out.map"), &warnings, e); }},
        {"import", [&](std::string* e) { return Import(fifo, TempPath("pipe-in.map"), ImportOptions(), &report, e); }},
        {"from-raw grid", [&](std::string* e) { return MapFromRaw(fifo, json, TempPath("p.map"), NewMapOptions(), e); }},
        {"from-raw sidecar", [&](std::string* e) { return MapFromRaw(map, fifo, TempPath("p.map"), NewMapOptions(), e); }},
        {"one-pass reader", [&](std::string* e) { return reader.OpenForOnePass(fifo, e); }},
        {"save", [&](std::string* e) { return session.Begin(fifo, e); }},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(row.run(&error)) << row.name;
        EXPECT_NE(std::string::npos, error.find("not a regular file")) << row.name << ": " << error;
    }
}

TEST(MapInfoTest, ListsSavesChangedBlocksAndWarnings) {
    std::string map = EditedMap("info.map");
    // Damage the first save's first block: the reader warns and info passes it on.
    {
        std::fstream file(map, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(72 + 12 + 100);
        file.put('\x55');
    }
    std::string text, error;
    ASSERT_TRUE(DescribeMap(map, &text, &error)) << error;
    for (const char* expected : {"size: 700 x 333 samples, 3 x 2 blocks", "origin (north-west corner): -84, 36.5",
                                 "saves: 2", "       1         6\n", "       2         1\n",
                                 "blocks saved again since the first save: 1 102", "warnings: 1",
                                 "block 0 at offset 84 fails its checksum"}) {
        EXPECT_NE(std::string::npos, text.find(expected)) << expected << "\n" << text;
    }
}

}  // namespace
