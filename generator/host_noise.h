// One of the host's noise objects, constructed by the host's own constructor in storage
// that the plug-in owns. The host decides the object's size, so the storage is far larger
// than any layout it could have (the stand-in host's is 296 bytes) and aligned for any
// member. Only the leading int is touched directly.
#pragma once

#include <cstddef>
#include <new>

#include "host/perlin.h"

class HostNoise {
public:
    static const size_t kStorageBytes = 4096;

    HostNoise() : object_(new (storage_) CPerlinNoise) {}
    ~HostNoise() { object_->~CPerlinNoise(); }
    HostNoise(const HostNoise&) = delete;
    HostNoise& operator=(const HostNoise&) = delete;

    CPerlinNoise& Object() { return *object_; }

private:
    alignas(16) unsigned char storage_[kStorageBytes];
    CPerlinNoise* object_;
};

static_assert(sizeof(CPerlinNoise) <= HostNoise::kStorageBytes, "the stand-in host's noise fits the storage");
