// The test programs' main: GoogleTest's own, except that a run that selects no
// test fails, so that a filter matching nothing (a renamed or mistyped test)
// is not taken for a pass.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!GTEST_FLAG_GET(list_tests) && testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "FAIL: no test matches the filter\n");
        return 1;
    }
    return result;
}
