// A tool's output files, written under temporary names and put in place only when whole.
//
// Everything is written into a new folder with a unique name beside the target
// (`<target>.zolva-XXXXXX`), each file under the name it will finally have, so that
// drivers that add sidecar files (a .prj, a .hdr, .aux.xml) put them there too. Commit
// moves the files into the target's folder, the target itself last; until then an
// earlier file under the target's name is left as it was, and a failed or abandoned
// output leaves nothing behind.
#pragma once

#include <string>
#include <vector>

class StagedOutput {
public:
    StagedOutput() = default;
    ~StagedOutput();  // removes whatever was not committed
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    bool Begin(const std::string& target, std::string* error);
    // Where the file to be called `finalPath` (in the target's folder) is written meanwhile.
    std::string StagingPath(const std::string& finalPath) const;
    // Moves every file written into the staging folder to its final name, each taking
    // the permissions and owner of the file it replaces. `written` receives their names.
    bool Commit(std::vector<std::string>* written, std::string* error);
    // Why writing the staged files failed, as far as the system tells: the disk is full
    // when it has less room left than `margin` bytes; empty when nothing is known.
    std::string FailureCause(unsigned long long margin) const;

private:
    void RemoveStaged();

    std::string target_;
    std::string folder_;
    std::string targetFolder_;
};
