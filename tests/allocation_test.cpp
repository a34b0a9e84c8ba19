// The frame step allocates nothing: every array is made at set-up. This test
// binary counts every allocation, whatever path it takes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "app/random.h"
#include "app/scene.h"

// Allocations so far, counted by allocation_counter.cpp.
long AllocationCount();

TEST(Allocation, CountingSeesEveryAllocationPath) {
    struct alignas(64) Wide {
        char bytes[64];
    };
    struct Path {
        const char* name;
        void* (*allocate)();
        void (*release)(void*);
    };
    const Path paths[] = {
        {"new", []() -> void* { return new int(5); }, [](void* p) { delete static_cast<int*>(p); }},
        {"new[]", []() -> void* { return new int[3]; }, [](void* p) { delete[] static_cast<int*>(p); }},
        {"aligned new", []() -> void* { return new Wide; }, [](void* p) { delete static_cast<Wide*>(p); }},
        {"nothrow new", []() -> void* { return new (std::nothrow) int(5); },
         [](void* p) { delete static_cast<int*>(p); }},
        {"nothrow aligned new[]", []() -> void* { return new (std::nothrow) Wide[2]; },
         [](void* p) { delete[] static_cast<Wide*>(p); }},
        {"malloc", [] { return std::malloc(8); }, std::free},
        {"calloc", [] { return std::calloc(2, 8); }, std::free},
        {"realloc", [] { return std::realloc(nullptr, 8); }, std::free},
        {"aligned_alloc", [] { return std::aligned_alloc(64, 64); }, std::free},
        {"posix_memalign", [] {
             void* block = nullptr;
             return posix_memalign(&block, 64, 64) == 0 ? block : nullptr;
         }, std::free},
    };
    for (const Path& path : paths) {
        const long before = AllocationCount();
        void* volatile block = path.allocate();  // volatile: the pair may not be elided
        EXPECT_EQ(AllocationCount() - before, 1) << path.name;
        EXPECT_NE(block, nullptr) << path.name;
        path.release(block);
    }
}

TEST(Allocation, FrameStepsAllocateNothingAfterSetUp) {
    auto scene = std::make_unique<Scene>();
    CreateScene(*scene);
    SeedRandom(99);
    BuildScene(*scene);
    const long before = AllocationCount();
    for (int frame = 0; frame < 400; ++frame) StepFrame(*scene);
    EXPECT_EQ(AllocationCount() - before, 0);
}
