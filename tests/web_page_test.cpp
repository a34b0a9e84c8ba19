// The web page's query, on the host.
#include <gtest/gtest.h>

#include "app/page_query.h"

TEST(PageQuery, ReadsTheLivePageAndTheTestMode) {
    const struct {
        const char* query;
        bool seedGiven;
        std::int32_t seed;
        std::int64_t frames;
    } cases[] = {
        {"", false, 0, 0},
        {"?", false, 0, 0},
        {"?seed=5", true, 5, 0},
        {"?seed=4242&frames=360", true, 4242, 360},
        {"frames=3&seed=7", true, 7, 3},
        {"?seed=2147483647&&frames=3600&", true, 2147483647, 3600},
    };
    for (const auto& c : cases) {
        PageRequest request;
        request.seed = 99;
        const auto error = ParsePageQuery(c.query, request);
        ASSERT_FALSE(error) << c.query << ": " << *error;
        EXPECT_EQ(request.seedGiven, c.seedGiven) << c.query;
        EXPECT_EQ(request.seed, c.seed) << c.query;
        EXPECT_EQ(request.frameCount, c.frames) << c.query;
    }
}

TEST(PageQuery, RefusesBadValuesWithAMessageThatNamesThem) {
    const struct {
        const char* query;
        const char* message;
    } cases[] = {
        {"?seed=abc", "seed must be a whole number from 0 to 2147483647, not 'abc'"},
        {"?seed=-1", "not '-1'"},
        {"?seed=2147483648", "not '2147483648'"},
        {"?seed= 1", "not ' 1'"},
        {"?seed=%31", "not '%31'"},
        {"?seed=", "not ''"},
        {"?seed=1&frames=0", "frames must be a whole number from 1 to 3600, not '0'"},
        {"?seed=1&frames=3601", "not '3601'"},
        {"?frames=5", "frames needs a seed too"},
        {"?seed=1&seed=2", "seed is given twice"},
        {"?seed", "'seed' has no value"},
        {"?speed=3", "unknown parameter 'speed'"},
    };
    for (const auto& c : cases) {
        PageRequest request;
        const auto error = ParsePageQuery(c.query, request);
        ASSERT_TRUE(error) << c.query;
        EXPECT_NE(error->find(c.message), std::string::npos) << c.query << " gave: " << *error;
    }
}
