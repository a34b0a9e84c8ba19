// The fixture of a test made once per level the build has (BuiltSimdLevels),
// the level first in its parameter. The same tests exist whatever processor
// lists them; where this one does not run a level (or DEMO_SIMD caps it), that
// level's tests are skipped and say why.
#pragma once

#include <gtest/gtest.h>

#include <tuple>

#include "cpu/simd_level.h"

template <typename Param = SimdLevel>
class AtBuiltLevel : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        const SimdLevel level = LevelOf(this->GetParam());
        if (level > ChosenSimdLevel()) {
            GTEST_SKIP() << "level " << SimdLevelName(level)
                         << " not run: this processor runs at most "
                         << SimdLevelName(ChosenSimdLevel()) << " (DEMO_SIMD, if set, caps it)";
        }
    }

private:
    static SimdLevel LevelOf(SimdLevel level) { return level; }
    template <typename... Rest>
    static SimdLevel LevelOf(const std::tuple<SimdLevel, Rest...>& param) {
        return std::get<0>(param);
    }
};
