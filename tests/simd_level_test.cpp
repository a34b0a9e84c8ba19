#include "cpu/simd_level.h"

#include <gtest/gtest.h>

TEST(SimdLevel, CapLowersButNeverRaisesAndIgnoresUnknownNames) {
    EXPECT_EQ(CapSimdLevel(SimdLevel::Avx512, "sse2"), SimdLevel::Sse2);
    EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, "plain"), SimdLevel::Plain);
    EXPECT_EQ(CapSimdLevel(SimdLevel::Sse2, "avx512"), SimdLevel::Sse2);
    EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, "AVX2 "), SimdLevel::Avx2);
    EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, ""), SimdLevel::Avx2);
    EXPECT_EQ(CapSimdLevel(SimdLevel::Avx2, nullptr), SimdLevel::Avx2);
    for (SimdLevel level : {SimdLevel::Plain, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512}) {
        EXPECT_EQ(ParseSimdLevel(SimdLevelName(level)), level);
    }
}

int PathA() { return 1; }
int PathC() { return 3; }

TEST(SimdLevel, ALevelRunsTheNearestPathAtOrBelowIt) {
    constexpr SimdPaths<int (*)()> paths = {PathA, nullptr, PathC, nullptr};
    EXPECT_EQ(PathFor(paths, SimdLevel::Plain)(), 1);
    EXPECT_EQ(PathFor(paths, SimdLevel::Sse2)(), 1);
    EXPECT_EQ(PathFor(paths, SimdLevel::Avx2)(), 3);
    EXPECT_EQ(PathFor(paths, SimdLevel::Avx512)(), 3);
    EXPECT_EQ(RunnableSimdLevels().back(), ChosenSimdLevel());
}
