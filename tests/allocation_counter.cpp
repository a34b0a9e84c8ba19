// Replacements of the global allocation functions that count allocations.
// In a file of their own, so that no call site sees malloc and free behind them.
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocationCount{0};
}

long AllocationCount() { return allocationCount; }

void* operator new(std::size_t size) {
    ++allocationCount;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
