// A plug-in's persisted settings: 32-bit integers by key, kept in an INI-like text file
// ("key=value" lines; lines starting with ';' or '[' and blank lines are ignored).
// A value that does not parse as a 32-bit integer is treated as absent, so hand-edited
// or damaged files never yield garbage. Every Set rewrites the file atomically.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Keys are non-empty, at most 255 bytes, without '=', ';', '[', line breaks or
// surrounding blanks.
bool IsValidProfileKey(const std::string& key);
// Decimal, optionally signed; -2147483648..4294967295, values above 2147483647 taken as
// their unsigned bit pattern. Surrounding blanks allowed.
bool ParseProfileValue(const std::string& text, int32_t* value);

class ProfileStore {
public:
    explicit ProfileStore(std::string path) : path_(std::move(path)) {}

    // A missing file is an empty profile. False only when the file exists but cannot be read.
    bool Load(std::string* error);
    bool Get(const std::string& key, int32_t* value) const;
    // Stores the value and rewrites the file; false (and nothing stored) for a bad key
    // or when the file cannot be written.
    bool Set(const std::string& key, int32_t value, std::string* error);

    const std::string& path() const { return path_; }
    const std::vector<std::pair<std::string, int32_t>>& entries() const { return entries_; }

private:
    bool Write(const std::vector<std::pair<std::string, int32_t>>& entries, std::string* error) const;

    std::string path_;
    std::vector<std::pair<std::string, int32_t>> entries_;
};
