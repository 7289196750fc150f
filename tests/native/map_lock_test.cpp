// Two programs writing one map: the second writer waits, then fails and changes nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
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

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

// zolva-make-map run as its user runs it, preloaded with the lock shim or as `nobody`.
ToolRun RunTool(const std::vector<std::string>& args, bool withoutLocks, bool asNobody) {
    const std::string log = TempPath("tool.log");
    pid_t pid = ::fork();
    if (pid == 0) {
        int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(out, 2);
        if (withoutLocks) {
            ::setenv("LD_PRELOAD", ZOLVA_NO_LOCK_SHIM, 1);
            ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        }
        const uid_t nobody = 65534;
        if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)) ::_exit(97);
        std::vector<char*> argv{const_cast<char*>(ZOLVA_MAKE_MAP)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(98);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::vector<char> text = ReadBytes(log);
    run.output.assign(text.begin(), text.end());
    return run;
}

// A writer that cannot take the lock for any reason but another program's hold on it
// refuses, names the reason and the way on, and leaves the map with its bytes, owner and
// mode; told that nobody else writes the map (--no-lock), it writes.
TEST(MapLockTest, AWriterThatCannotLockTheMapRefusesAndSaysWhy) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to run the tool as nobody";
    struct Row {
        const char* name;
        bool withoutLocks;  // every fcntl lock fails with ENOLCK
        bool asNobody;      // may write the folder, not the map
        bool held;          // another program is saving to the map meanwhile
        bool noLock;
        int exitCode;
        std::vector<const char*> says;
    };
    const Row rows[] = {
        {"no record locks, map held", true, false, true, false, 1, {"No locks available", "--no-lock"}},
        {"no record locks, --no-lock", true, false, false, true, 0, {}},
        {"no record locks, a new map over it", true, false, false, false, 1, {"cannot lock map file"}},
        {"nobody, map held", false, true, true, false, 1, {"may not write map file", "Permission denied"}},
        {"nobody, --no-lock", false, true, false, true, 1, {"may not write map file"}},
    };
    const std::string folder = TempPath("shared");
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::all);
    const std::string path = folder + "/m.map";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string error;
        ASSERT_TRUE(SyntheticMap(700, 333, path, NewMapOptions(), &error)) << error;
        ASSERT_EQ(0, ::chown(path.c_str(), 0, 0));
        fs::permissions(path, fs::perms(0644));
        std::vector<std::string> args{"compact", path, "-q"};
        if (std::string(row.name).find("new map") != std::string::npos) args = {"synthetic", "50", "40", path, "-q"};
        if (row.noLock) args.push_back("--no-lock");
        std::unique_ptr<OtherWriter> other;
        if (row.held) {
            other = std::make_unique<OtherWriter>(path);
            ASSERT_TRUE(other->holding());
        }
        const std::vector<char> before = ReadBytes(path);
        ToolRun run = RunTool(args, row.withoutLocks, row.asNobody);
        EXPECT_EQ(row.exitCode, run.exitCode) << run.output;
        for (const char* text : row.says) EXPECT_NE(std::string::npos, run.output.find(text)) << run.output;
        struct stat st;
        ASSERT_EQ(0, ::stat(path.c_str(), &st));
        EXPECT_EQ(0u, st.st_uid) << "the map keeps its owner";
        EXPECT_EQ(0644u, st.st_mode & 07777) << "the map keeps its mode";
        if (row.exitCode != 0) EXPECT_TRUE(before == ReadBytes(path)) << "a refused write changes nothing";
        if (other != nullptr) EXPECT_TRUE(other->Finish()) << "the other program's save lands";
    }
}

}  // namespace
