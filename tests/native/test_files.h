// Files for the store's and tools' tests: paths in a folder of each test file's own under
// GoogleTest's temporary folder, and whole files as bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string TestFilePath(const std::string& folder, const std::string& name) {
    std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / folder;
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
