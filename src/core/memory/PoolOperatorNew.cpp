// The program's global operator new and delete: plain malloc and free, and,
// when malloc fails, the memory pool frees purgeable blocks and the
// allocation is tried again. Linked into programs only (Lumora, tools, test
// programs), never into a shared library.
#include "BlockOMemoryPool.h"

#include <cstdlib>
#include <new>

namespace {

// A purge that itself needs memory must not purge again.
thread_local bool purging = false;

// True when the pool (or a standard new-handler) made room to try again.
bool makeRoom(std::size_t size) {
    if (!purging && NimbalCore::BlockOMemoryPool::NewHandlerInstalled()) {
        purging = true;
        struct Done {
            ~Done() { purging = false; }
        } done;
        if (NimbalCore::BlockOMemoryPool::OutOfMemoryHandler(size) != 0) return true;
    }
    if (std::new_handler handler = std::get_new_handler()) {
        handler();
        return true;
    }
    return false;
}

void* allocate(std::size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        if (void* p = std::malloc(size)) return p;
        if (!makeRoom(size)) throw std::bad_alloc();
    }
}

void* allocateAligned(std::size_t size, std::align_val_t align) {
    if (size == 0) size = 1;
    std::size_t alignment = static_cast<std::size_t>(align);
    if (alignment < sizeof(void*)) alignment = sizeof(void*);
    for (;;) {
        void* p = nullptr;
        if (::posix_memalign(&p, alignment, size) == 0) return p;
        if (!makeRoom(size)) throw std::bad_alloc();
    }
}

} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t align) { return allocateAligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return allocateAligned(size, align); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned(size, align);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned(size, align);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
