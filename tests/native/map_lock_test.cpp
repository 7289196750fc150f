// Two programs writing one map: the second writer waits, then fails and changes nothing.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "maptools/map_commands.h"

namespace {

namespace fs = std::filesystem;

std::string TempPath(const std::string& name) {
    fs::path dir = fs::path(::testing::TempDir()) / "zolva_map_lock_test";
    fs::create_directories(dir);
    return (dir / name).string();
}

std::vector<char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Another process that begins a save of `path` and holds it open until told to commit.
class OtherWriter {
public:
    explicit OtherWriter(const std::string& path) {
        if (::pipe(ready_) != 0 || ::pipe(go_) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) RunChild(path);
        ::close(ready_[1]);
        ::close(go_[0]);
        char byte = 0;
        holding_ = ::read(ready_[0], &byte, 1) == 1 && byte == 'y';
    }
    // Lets the other process commit and end; true when its save was committed.
    bool Finish() {
        char byte = 'c';
        if (::write(go_[1], &byte, 1) != 1) return false;
        int status = 0;
        ::waitpid(pid_, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    bool holding() const { return holding_; }

private:
    [[noreturn]] void RunChild(const std::string& path) {
        ::close(ready_[0]);
        ::close(go_[1]);
        MapSaveSession session;
        std::string error;
        std::vector<int16_t> block(kMapBlockSamples, 4321);
        bool begun = session.Begin(path, &error) && session.Append(0, block.data(), &error);
        char byte = begun ? 'y' : 'n';
        bool told = ::write(ready_[1], &byte, 1) == 1 && ::read(go_[0], &byte, 1) == 1;
        ::_exit(told && begun && session.Commit(&error) ? 0 : 1);
    }

    int ready_[2] = {-1, -1};
    int go_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool holding_ = false;
};

// While another process saves the map, a save, an in-place compaction and an import
// over it each fail with the reason and change nothing; the other save then lands whole.
TEST(MapLockTest, ASecondWriterFailsAndChangesNothing) {
    std::string path = TempPath("shared.map");
    std::string error;
    const struct {
        const char* name;
        std::function<bool(std::string*)> write;
    } rows[] = {
        {"save",
         [&](std::string* e) {
             MapSaveSession session;
             std::vector<int16_t> block(kMapBlockSamples, 99);
             return session.Begin(path, e) && session.Append(1, block.data(), e) && session.Commit(e);
         }},
        {"compact in place",
         [&](std::string* e) {
             std::vector<std::string> warnings;
             return CompactMap(path, path, &warnings, e);
         }},
        {"a new map over it", [&](std::string* e) { return SyntheticMap(50, 50, path, NewMapOptions(), e); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(SyntheticMap(700, 333, path, NewMapOptions(), &error)) << error;
        OtherWriter other(path);
        ASSERT_TRUE(other.holding());
        const std::vector<char> before = ReadBytes(path);
        EXPECT_FALSE(row.write(&error));
        EXPECT_NE(std::string::npos, error.find("the map is being written by another program")) << error;
        EXPECT_TRUE(before == ReadBytes(path));
        ASSERT_TRUE(other.Finish());
        MapFileReader reader;
        ASSERT_TRUE(reader.Open(path, &error)) << error;
        std::vector<int16_t> block(kMapBlockSamples);
        ASSERT_TRUE(reader.ReadBlock(0, block.data(), &error)) << error;
        EXPECT_EQ(4321, block[0]) << "the other save landed";
        EXPECT_TRUE(row.write(&error)) << "once the other writer is done: " << error;
    }
}

}  // namespace
