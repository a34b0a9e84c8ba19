// Counts every allocation: the C allocation functions, through which every form
// of operator new (plain, array, aligned, nothrow) goes, are replaced here by
// counting ones. Under AddressSanitizer, which keeps an allocator of its own,
// its allocation hook counts instead.
#include <atomic>
#include <cerrno>
#include <cstddef>

namespace {
std::atomic<long> allocationCount{0};
}

long AllocationCount() { return allocationCount; }

#if defined(__SANITIZE_ADDRESS__)
extern "C" void __sanitizer_malloc_hook(const volatile void*, std::size_t) { ++allocationCount; }
#else
// glibc's allocator under its second names.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

void* malloc(std::size_t size) noexcept {
    ++allocationCount;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    ++allocationCount;
    return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) noexcept {
    ++allocationCount;
    return __libc_realloc(block, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    ++allocationCount;
    return __libc_memalign(alignment, size);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept {
    ++allocationCount;
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** block, std::size_t alignment, std::size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    ++allocationCount;
    void* aligned = __libc_memalign(alignment, size);
    if (aligned == nullptr) return ENOMEM;
    *block = aligned;
    return 0;
}
}
#endif
