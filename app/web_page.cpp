// The demo as a web page. A page may not loop forever, so the page's script
// calls these procedures instead: PageStart once, then PageLiveFrame on every
// animation frame, or PageTestFrame once per frame of the test mode. Set-up
// runs in the programs' order; only the seed's source differs.
#include <chrono>
#include <string>

#include "app/floating_point.h"
#include "app/frame_crc.h"
#include "app/page_query.h"
#include "app/random.h"
#include "app/scene.h"
#include "display/screen.h"

namespace {
Scene scene;  // all long-lived state, for the life of the page
PageRequest request;
std::string startMessage;
}  // namespace

extern "C" {

// Reads the page's query and sets the scene up. Returns "" when the page may
// draw, else a message to show instead.
const char* PageStart(const char* query) {
    if (auto error = ParsePageQuery(query, request)) {
        startMessage = *error;
        return startMessage.c_str();
    }
    InitFloatingPoint();
    CreateScene(scene);
    if (ScreenOpen(kWindowTitle, kFrameWidth, kFrameHeight) == 0) return "this browser gives the page no 2-D canvas";
    SeedRandom(request.seedGiven ? request.seed : TimerSeconds());
    BuildScene(scene);
    return "";
}

// The number of frames the test mode asked for; 0 for the live page.
double PageTestFrameCount() { return static_cast<double>(request.frameCount); }

// Draws and shows the next frame; returns the frame step's time in milliseconds.
double PageLiveFrame() {
    const auto start = std::chrono::steady_clock::now();
    StepFrame(scene);
    const std::chrono::duration<double, std::milli> step = std::chrono::steady_clock::now() - start;
    ScreenFlip(scene.frameBuffer.pixels.data());
    return step.count();
}

// Draws and shows the next frame; returns its CRC-32 as demo-snapshot prints it.
std::uint32_t PageTestFrame() {
    StepFrame(scene);
    ScreenFlip(scene.frameBuffer.pixels.data());
    return FrameCrc32(scene.frameBuffer);
}

}  // extern "C"
