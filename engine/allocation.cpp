#include "engine/allocation.h"

#ifdef _WIN32
#include <malloc.h>
#endif

void* AllocateAligned(size_t bytes, size_t alignment) {
#ifdef _WIN32
    return _aligned_malloc(bytes, alignment);
#else
    // aligned_alloc wants a multiple of the alignment.
    size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    if (rounded < bytes) return nullptr;
    return std::aligned_alloc(alignment, rounded);
#endif
}

void FreeAligned(void* memory) {
#ifdef _WIN32
    _aligned_free(memory);
#else
    std::free(memory);
#endif
}
