#include "devhost/profiles/profile_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "mapstore/file_io.h"

namespace {

const size_t kMaxKeyLength = 255;
const size_t kMaxLineLength = 4096;

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Reads one line of at most kMaxLineLength bytes; longer lines are consumed and dropped.
bool ReadLine(std::FILE* file, std::string* line, bool* tooLong) {
    line->clear();
    *tooLong = false;
    int c;
    while ((c = std::fgetc(file)) != EOF) {
        if (c == '\n') return true;
        if (line->size() < kMaxLineLength) {
            line->push_back(static_cast<char>(c));
        } else {
            *tooLong = true;
        }
    }
    return !line->empty() || *tooLong;
}

}  // namespace

bool IsValidProfileKey(const std::string& key) {
    if (key.empty() || key.size() > kMaxKeyLength) return false;
    if (key != Trim(key)) return false;
    return key.find_first_of("=;[\r\n") == std::string::npos;
}

bool ParseProfileValue(const std::string& text, int32_t* value) {
    std::string trimmed = Trim(text);
    if (trimmed.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(trimmed.c_str(), &end, 10);
    if (errno != 0 || end == trimmed.c_str() || *end != '\0') return false;
    if (parsed < -2147483648LL || parsed > 4294967295LL) return false;
    *value = static_cast<int32_t>(static_cast<uint32_t>(parsed));
    return true;
}

bool ProfileStore::Load(std::string* error) {
    entries_.clear();
    std::FILE* file = OpenFileUtf8(path_, "rb");
    if (file == nullptr) {
        if (errno == ENOENT) return true;
        if (error != nullptr) *error = "cannot read profile " + path_;
        return false;
    }
    std::string line;
    bool tooLong = false;
    while (ReadLine(file, &line, &tooLong)) {
        if (tooLong) continue;
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[') continue;
        size_t equals = trimmed.find('=');
        if (equals == std::string::npos) continue;
        std::string key = Trim(trimmed.substr(0, equals));
        int32_t value = 0;
        if (!IsValidProfileKey(key) || !ParseProfileValue(trimmed.substr(equals + 1), &value)) continue;
        bool replaced = false;
        for (auto& entry : entries_) {
            if (entry.first == key) {
                entry.second = value;
                replaced = true;
            }
        }
        if (!replaced) entries_.emplace_back(key, value);
    }
    std::fclose(file);
    return true;
}

bool ProfileStore::Get(const std::string& key, int32_t* value) const {
    for (const auto& entry : entries_) {
        if (entry.first == key) {
            *value = entry.second;
            return true;
        }
    }
    return false;
}

bool ProfileStore::Set(const std::string& key, int32_t value, std::string* error) {
    if (!IsValidProfileKey(key)) {
        if (error != nullptr) *error = "invalid profile key";
        return false;
    }
    std::vector<std::pair<std::string, int32_t>> updated = entries_;
    bool found = false;
    for (auto& entry : updated) {
        if (entry.first == key) {
            entry.second = value;
            found = true;
        }
    }
    if (!found) updated.emplace_back(key, value);
    if (!Write(updated, error)) return false;
    entries_ = std::move(updated);
    return true;
}

// Writes a sibling file, puts it on disk and swaps it in, so a crash leaves the old
// profile or the new one.
bool ProfileStore::Write(const std::vector<std::pair<std::string, int32_t>>& entries,
                         std::string* error) const {
    std::string temporary = path_ + ".tmp";
    std::FILE* file = OpenFileUtf8(temporary, "wb");
    if (file == nullptr) {
        if (error != nullptr) *error = "cannot write profile " + temporary;
        return false;
    }
    bool ok = std::fputs("; plug-in settings\n", file) >= 0;
    for (const auto& entry : entries) {
        ok = ok && std::fprintf(file, "%s=%d\n", entry.first.c_str(), entry.second) > 0;
    }
    ok = FlushToDisk(file) && ok;
    ok = (std::fclose(file) == 0) && ok;
    if (ok) ok = ReplaceFileAtomically(temporary, path_);
    if (!ok) {
        std::remove(temporary.c_str());
        if (error != nullptr) *error = "cannot write profile " + path_;
    }
    return ok;
}
