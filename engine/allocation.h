// Allocation that answers null when memory is short and never throws. The module runs
// inside a 32-bit host whose address space does run out; it is built without exceptions,
// and the C++ runtime's own nothrow forms throw and catch inside, which needs memory
// (and, with the POSIX-thread runtime, a lazily allocated lock) exactly when there is
// none. These go to the C runtime's allocators directly.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

// `bytes` with the given power-of-two alignment, or null; freed with FreeAligned.
void* AllocateAligned(size_t bytes, size_t alignment);
void FreeAligned(void* memory);

template <typename T>
constexpr bool IsOverAligned() {
    return alignof(T) > alignof(std::max_align_t);
}

// A T made with `args`, or null when memory is short.
template <typename T, typename... Args>
T* AllocateObject(Args&&... args) {
    void* memory = IsOverAligned<T>() ? AllocateAligned(sizeof(T), alignof(T)) : std::malloc(sizeof(T));
    if (memory == nullptr) return nullptr;
    return new (memory) T(std::forward<Args>(args)...);
}

// Destroys and frees what AllocateObject made; null is ignored.
template <typename T>
void FreeObject(T* object) {
    if (object == nullptr) return;
    object->~T();
    if (IsOverAligned<T>()) {
        FreeAligned(object);
    } else {
        std::free(object);
    }
}

// Frees with FreeObject when the owner goes out of scope.
template <typename T>
class ScopedObject {
public:
    explicit ScopedObject(T* object) : object_(object) {}
    ~ScopedObject() { FreeObject(object_); }
    ScopedObject(const ScopedObject&) = delete;
    ScopedObject& operator=(const ScopedObject&) = delete;

    explicit operator bool() const { return object_ != nullptr; }
    T* operator->() const { return object_; }

private:
    T* object_;
};

// `count` uninitialised elements of a trivial type, or null (also when the size overflows).
template <typename T>
T* AllocateArray(size_t count) {
    if (count > static_cast<size_t>(-1) / sizeof(T)) return nullptr;
    return static_cast<T*>(std::malloc(count * sizeof(T) + (count == 0 ? 1 : 0)));
}

template <typename T>
void FreeArray(T* elements) {
    std::free(elements);
}

// An array of a trivial type owned for one scope.
template <typename T>
class ScopedArray {
public:
    explicit ScopedArray(size_t count) : elements_(AllocateArray<T>(count)) {}
    ~ScopedArray() { FreeArray(elements_); }
    ScopedArray(const ScopedArray&) = delete;
    ScopedArray& operator=(const ScopedArray&) = delete;

    explicit operator bool() const { return elements_ != nullptr; }
    T* get() const { return elements_; }
    T& operator[](size_t i) const { return elements_[i]; }

private:
    T* elements_;
};
