// The frame step allocates nothing: every array is made at set-up. This test
// binary replaces the global allocation functions to count calls.
#include <gtest/gtest.h>

#include <memory>

#include "app/random.h"
#include "app/scene.h"

// Counted by the replacement allocation functions in allocation_counter.cpp.
long AllocationCount();

TEST(Allocation, CountingSeesAnAllocation) {
    const long before = AllocationCount();
    int* volatile probe = new int(5);  // volatile: the pair may not be elided
    EXPECT_EQ(AllocationCount() - before, 1);
    delete probe;
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
