// The retried video start, with counted tries on a clock that only counts.
#include "display/sdl/video_start.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

namespace {

int failuresLeft = 0;  // tries that fail before one succeeds
int tries = 0;
unsigned tryMs = 0;  // what each try costs on the clock
std::uint64_t clockMs = 0;
std::vector<unsigned> pauses;

bool CountedAttempt() {
    ++tries;
    clockMs += tryMs;
    return failuresLeft-- <= 0;
}

std::uint64_t CountedNowMs() { return clockMs; }
void CountedPause(unsigned milliseconds) {
    pauses.push_back(milliseconds);
    clockMs += milliseconds;
}
constexpr RetryClock kCountedClock{CountedNowMs, CountedPause};

class VideoStart : public ::testing::Test {
protected:
    void SetUp() override {
        Save("DISPLAY", savedDisplay);
        Save("WAYLAND_DISPLAY", savedWayland);
        unsetenv("WAYLAND_DISPLAY");
        setenv("DISPLAY", ":99", 1);
        tries = 0;
        tryMs = 0;
        clockMs = 1000;
        pauses.clear();
    }
    void TearDown() override {
        Restore("DISPLAY", savedDisplay);
        Restore("WAYLAND_DISPLAY", savedWayland);
    }

private:
    using Saved = std::optional<std::string>;
    static void Save(const char* name, Saved& saved) {
        const char* value = std::getenv(name);
        saved = value != nullptr ? Saved(value) : std::nullopt;
    }
    static void Restore(const char* name, const Saved& saved) {
        if (saved) {
            setenv(name, saved->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    Saved savedDisplay, savedWayland;
};

TEST_F(VideoStart, ABusyDisplayIsTriedAgainAfterGrowingPauses) {
    failuresLeft = 3;
    EXPECT_TRUE(StartVideoWithRetries(CountedAttempt, kCountedClock));
    EXPECT_EQ(tries, 4);
    EXPECT_EQ(pauses, (std::vector<unsigned>{10, 20, 40}));
}

TEST_F(VideoStart, GivesUpAfterAboutTwoSeconds) {
    for (const char* named : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        unsetenv("DISPLAY");
        setenv(named, "wayland-1", 1);
        failuresLeft = 1000;
        tries = 0;
        pauses.clear();
        EXPECT_FALSE(StartVideoWithRetries(CountedAttempt, kCountedClock)) << named;
        const unsigned total = std::accumulate(pauses.begin(), pauses.end(), 0u);
        EXPECT_GE(total, 1500u) << named;
        EXPECT_LE(total, kRetryBudgetMs) << named;
        EXPECT_TRUE(std::is_sorted(pauses.begin(), pauses.end())) << named;
        EXPECT_EQ(tries, static_cast<int>(pauses.size()) + 1) << named;
    }
}

TEST_F(VideoStart, SlowTriesCountAgainstTheTwoSeconds) {
    failuresLeft = 1000;
    tryMs = 900;
    EXPECT_FALSE(StartVideoWithRetries(CountedAttempt, kCountedClock));
    EXPECT_EQ(tries, 3);  // started at 0, 910 and 1830 ms; a fourth would start at 2770
}

TEST_F(VideoStart, WithNoDisplayNamedThereIsOneTryAndNoPause) {
    for (const bool setButEmpty : {true, false}) {
        if (setButEmpty) {
            setenv("DISPLAY", "", 1);
        } else {
            unsetenv("DISPLAY");
        }
        failuresLeft = 1000;
        tries = 0;
        EXPECT_FALSE(StartVideoWithRetries(CountedAttempt, kCountedClock));
        EXPECT_EQ(tries, 1);
        EXPECT_TRUE(pauses.empty());
    }
}

}  // namespace
