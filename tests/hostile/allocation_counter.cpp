#include "allocation_counter.hpp"

#include <dlfcn.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/types.h>

#include <cstddef>

// glibc's allocator under its internal names, so that our malloc can forward.
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *pointer, std::size_t size);
void *__libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void *pointer);
}

namespace {

// The tests are single-threaded; plain counters are enough.
bool armed = false;
bool seen = false;
long long live = 0;
long long peak = 0;

void gained(void *pointer) {
    if (armed && pointer != nullptr) {
        seen = true;
        live += static_cast<long long>(malloc_usable_size(pointer));
        if (live > peak) {
            peak = live;
        }
    }
}

void released(void *pointer) {
    if (armed && pointer != nullptr) {
        live -= static_cast<long long>(malloc_usable_size(pointer));
    }
}

} // namespace

extern "C" {

void *malloc(std::size_t size) {
    void *pointer = __libc_malloc(size);
    gained(pointer);
    return pointer;
}

void *calloc(std::size_t count, std::size_t size) {
    void *pointer = __libc_calloc(count, size);
    gained(pointer);
    return pointer;
}

void *realloc(void *old, std::size_t size) {
    released(old);
    void *pointer = __libc_realloc(old, size);
    gained(pointer != nullptr ? pointer : (size == 0 ? nullptr : old));
    return pointer;
}

void *memalign(std::size_t alignment, std::size_t size) {
    void *pointer = __libc_memalign(alignment, size);
    gained(pointer);
    return pointer;
}

void *aligned_alloc(std::size_t alignment, std::size_t size) {
    return memalign(alignment, size);
}

int posix_memalign(void **out, std::size_t alignment, std::size_t size) {
    void *pointer = memalign(alignment, size);
    if (pointer == nullptr) {
        return 12; // ENOMEM
    }
    *out = pointer;
    return 0;
}

void free(void *pointer) {
    released(pointer);
    __libc_free(pointer);
}

// Large images are mapped on their own: count anonymous mappings as heap
// bytes too, so that a huge declared size cannot slip past the counter.
void *mmap(void *address, std::size_t length, int protection, int flags, int fd, off_t offset) {
    using Mmap = void *(*)(void *, std::size_t, int, int, int, off_t);
#if defined(_FILE_OFFSET_BITS) && _FILE_OFFSET_BITS == 64 && !defined(__LP64__)
    // The header renames this definition to mmap64 on such builds.
    static const auto next = reinterpret_cast<Mmap>(dlsym(RTLD_NEXT, "mmap64"));
#else
    static const auto next = reinterpret_cast<Mmap>(dlsym(RTLD_NEXT, "mmap"));
#endif
    void *pointer = next(address, length, protection, flags, fd, offset);
    if (armed && pointer != MAP_FAILED && (flags & MAP_ANONYMOUS) != 0) {
        seen = true;
        live += static_cast<long long>(length);
        peak = live > peak ? live : peak;
    }
    return pointer;
}

int munmap(void *address, std::size_t length) {
    using Munmap = int (*)(void *, std::size_t);
    static const auto next = reinterpret_cast<Munmap>(dlsym(RTLD_NEXT, "munmap"));
    const int result = next(address, length);
    if (armed && result == 0) {
        live -= static_cast<long long>(length);
    }
    return result;
}

} // extern "C"

namespace hostile {

void arm_allocation_counter() {
    live = 0;
    peak = 0;
    seen = false;
    // One allocation of our own proves that the counter is really in the path.
    // It is called through the symbols, as the library calls them: an
    // optimiser would otherwise inline this file's malloc here and count the
    // probe even where another allocator (valgrind's) has replaced it.
    armed = true;
    void *(*volatile allocate)(std::size_t) = malloc;
    void (*volatile release)(void *) = free;
    release(allocate(1));
    live = 0;
    peak = 0;
}

AllocationWindow disarm_allocation_counter() {
    armed = false;
    return AllocationWindow{seen, peak, live};
}

} // namespace hostile
