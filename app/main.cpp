// The demo program: open the display, build the scene, and draw frames until
// the display back-end ends the process (Esc or a close request, exit code 0).
#include <cstdlib>

#include "app/floating_point.h"
#include "app/random.h"
#include "app/scene.h"
#include "display/screen.h"

namespace {
Scene scene;  // all long-lived state, for the life of the process
}

int main() {
    InitFloatingPoint();
    CreateScene(scene);
    // A failed open ends the process before a single random number is drawn.
    if (ScreenOpen(kWindowTitle, kFrameWidth, kFrameHeight) == 0) std::exit(-1);
    SeedRandom(TimerSeconds());
    BuildScene(scene);
    for (;;) {
        StepFrame(scene);
        ScreenFlip(scene.frameBuffer.pixels.data());  // a frame not shown changes nothing
    }
}
