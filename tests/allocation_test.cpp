// The frame step allocates nothing: every array is made at set-up. This test
// binary replaces the global allocation functions to count calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/random.h"
#include "app/scene.h"

namespace {
std::atomic<long> allocationCount{0};
}

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

TEST(Allocation, CountingSeesAnAllocation) {
    const long before = allocationCount;
    auto* probe = new int(5);
    EXPECT_EQ(allocationCount - before, 1);
    delete probe;
}

TEST(Allocation, FrameStepsAllocateNothingAfterSetUp) {
    auto scene = std::make_unique<Scene>();
    CreateScene(*scene);
    SeedRandom(99);
    BuildScene(*scene);
    const long before = allocationCount;
    for (int frame = 0; frame < 400; ++frame) StepFrame(*scene);
    EXPECT_EQ(allocationCount - before, 0);
}
