// The retried video start, with counted tries and pauses that are only added up.
#include "display/sdl/video_start.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

namespace {

int failuresLeft = 0;  // tries that fail before one succeeds
int tries = 0;
std::vector<unsigned> pauses;

bool CountedAttempt() {
    ++tries;
    return failuresLeft-- <= 0;
}

void RecordPause(unsigned milliseconds) { pauses.push_back(milliseconds); }

class VideoStart : public ::testing::Test {
protected:
    void SetUp() override {
        Save("DISPLAY", savedDisplay);
        Save("WAYLAND_DISPLAY", savedWayland);
        unsetenv("WAYLAND_DISPLAY");
        setenv("DISPLAY", ":99", 1);
        tries = 0;
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
    EXPECT_TRUE(StartVideoWithRetries(CountedAttempt, RecordPause));
    EXPECT_EQ(tries, 4);
    EXPECT_EQ(pauses, (std::vector<unsigned>{10, 20, 40}));
}

TEST_F(VideoStart, GivesUpAfterAboutTwoSecondsOfPauses) {
    for (const char* named : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        unsetenv("DISPLAY");
        setenv(named, "wayland-1", 1);
        failuresLeft = 1000;
        tries = 0;
        pauses.clear();
        EXPECT_FALSE(StartVideoWithRetries(CountedAttempt, RecordPause)) << named;
        const unsigned total = std::accumulate(pauses.begin(), pauses.end(), 0u);
        EXPECT_GE(total, 1500u) << named;
        EXPECT_LE(total, kRetryBudgetMs) << named;
        EXPECT_TRUE(std::is_sorted(pauses.begin(), pauses.end())) << named;
        EXPECT_EQ(tries, static_cast<int>(pauses.size()) + 1) << named;
    }
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
        EXPECT_FALSE(StartVideoWithRetries(CountedAttempt, RecordPause));
        EXPECT_EQ(tries, 1);
        EXPECT_TRUE(pauses.empty());
    }
}

}  // namespace
