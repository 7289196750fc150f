// libFuzzer target: the input bytes are a map file; opening it and reading every block
// must never crash, hang or allocate by a stored length.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mapstore/map_file.h"

namespace {

std::string InputPath() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/zolva_map_fuzz_" + std::to_string(::getpid()) + ".map";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = InputPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;

    MapFileReader reader;
    std::string error;
    if (!reader.Open(path, &error)) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    std::vector<int16_t> block(kMapBlockSamples);
    for (int32_t code : reader.BlockCodes()) {
        if (!reader.ReadBlock(code, block.data(), &error)) __builtin_trap();  // the file did not change
    }
    // A save over whatever was there must leave every block that was readable readable.
    MapSaveSession session;
    if (session.Begin(path, &error) && session.Commit(&error)) {
        MapFileReader after;
        if (!after.Open(path, &error) || after.BlockCodes() != reader.BlockCodes()) __builtin_trap();
    }
    return 0;
}
