#include "maptools/staged_output.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "mapstore/file_io.h"

namespace fs = std::filesystem;

StagedOutput::~StagedOutput() { RemoveStaged(); }

bool StagedOutput::Begin(const std::string& target, std::string* error) {
    RemoveStaged();
    if (!CreateFolderBeside(target, &folder_, error)) return false;
    target_ = target;
    targetFolder_ = fs::path(target).parent_path().string();
    return true;
}

std::string StagedOutput::StagingPath(const std::string& finalPath) const {
    return (fs::path(folder_) / fs::path(finalPath).filename()).string();
}

bool StagedOutput::Commit(std::vector<std::string>* written, std::string* error) {
    std::error_code ec;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, ec)) {
        names.push_back(entry.path().filename().string());
    }
    if (ec) return *error = "cannot list " + folder_ + ": " + ec.message(), false;
    const std::string targetName = fs::path(target_).filename().string();
    // The target last, so that it never stands beside sidecars of an older output.
    std::stable_partition(names.begin(), names.end(), [&](const std::string& n) { return n != targetName; });
    written->clear();
    for (const std::string& name : names) {
        std::string from = (fs::path(folder_) / name).string();
        std::string to = (fs::path(targetFolder_) / name).string();
        if (!CopyAccessRights(to, from) || !ReplaceFileAtomically(from, to)) {
            return *error = "cannot move " + from + " to " + to + ": " + LastFileErrorText(), false;
        }
        written->push_back(to);
    }
    if (!written->empty()) std::rotate(written->rbegin(), written->rbegin() + 1, written->rend());  // the target first
    RemoveFolder(folder_);
    folder_.clear();
    return true;
}

// Libraries that write the files do not always pass the system's reason on, so the room
// left on the disk is looked at while the partial files still take theirs.
std::string StagedOutput::FailureCause(unsigned long long margin) const {
    std::string cause = LastFileErrorText();
    if (cause.find("disk") != std::string::npos) return cause;
    if (!folder_.empty() && FreeBytesIn(folder_) < margin) return "the disk is full";
    return std::string();
}

void StagedOutput::RemoveStaged() {
    if (folder_.empty()) return;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, ec)) RemoveFile(entry.path().string());
    RemoveFolder(folder_);
    folder_.clear();
}
