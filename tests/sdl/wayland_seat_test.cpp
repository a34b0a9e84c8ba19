// The seat check against a compositor of our own: a Wayland server in a thread
// of the test that lists a wl_seat or not, on a socket in a private directory.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <wayland-server.h>

#include <filesystem>
#include <string>
#include <thread>

#include "display/sdl/wayland_seat.h"

namespace {

constexpr const char* kSocket = "wayland-seat-test";

void BindNothing(wl_client*, void*, std::uint32_t, std::uint32_t) {}

class FakeCompositor : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/seat-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        runtimeDir = pattern;
        setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        setenv("WAYLAND_DISPLAY", kSocket, 1);
        unsetenv("WAYLAND_SOCKET");
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("DISPLAY");
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    }
    void TearDown() override {
        if (server != nullptr) {
            wl_display_terminate(server);
            serverThread.join();
            wl_display_destroy(server);
        }
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        std::filesystem::remove_all(runtimeDir);
    }
    void StartServer(bool offerSeat) {
        server = wl_display_create();
        ASSERT_EQ(wl_display_add_socket(server, kSocket), 0);
        if (offerSeat) wl_global_create(server, &wl_seat_interface, 1, nullptr, BindNothing);
        serverThread = std::thread(wl_display_run, server);
    }

    std::string runtimeDir;
    wl_display* server = nullptr;
    std::thread serverThread;
};

TEST_F(FakeCompositor, OnlyACompositorThatAnswersWithoutASeatLacksOne) {
    EXPECT_FALSE(WaylandCompositorLacksSeat()) << "no compositor at all";
    StartServer(false);
    EXPECT_TRUE(WaylandCompositorLacksSeat());
}

TEST_F(FakeCompositor, ACompositorWithASeatIsLeftToSdl) {
    StartServer(true);
    EXPECT_FALSE(WaylandCompositorLacksSeat());
    EXPECT_TRUE(SteerClearOfSeatlessWayland());
    EXPECT_EQ(SDL_GetHint(SDL_HINT_VIDEODRIVER), nullptr);
}

TEST_F(FakeCompositor, SeatlessWaylandGivesWayToANamedXDisplay) {
    StartServer(false);
    EXPECT_FALSE(SteerClearOfSeatlessWayland()) << "no X display named";

    setenv("DISPLAY", ":0", 1);
    EXPECT_TRUE(SteerClearOfSeatlessWayland());
    EXPECT_STREQ(SDL_GetHint(SDL_HINT_VIDEODRIVER), "x11");

    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    setenv("SDL_VIDEODRIVER", "Wayland", 1);
    EXPECT_FALSE(SteerClearOfSeatlessWayland()) << "Wayland asked for by name";

    setenv("SDL_VIDEODRIVER", "x11", 1);
    EXPECT_TRUE(SteerClearOfSeatlessWayland());
}

}  // namespace
