// Holds a map's write lock for a while, as a program in the middle of writing the map
// does: built natively and for Windows, so that tests/windows/map_lock_test.sh can check
// that a native writer and one under Wine see each other's lock.
//   hold_map_lock MAP MILLISECONDS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "mapstore/map_file.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hold_map_lock MAP MILLISECONDS\n");
        return 2;
    }
    MapWriteLock lock;
    std::string error;
    if (!lock.Acquire(argv[1], &error)) {
        std::fprintf(stderr, "hold_map_lock: %s\n", error.c_str());
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    return 0;
}
