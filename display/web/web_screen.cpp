// The display back-end of the web page: the frame goes through the abgr32 row
// converter into a buffer that the canvas's image data is filled from. The
// page's script provides the canvas (id "screen") and the title line (id
// "title"). Esc ends the page's run as it ends a program: ScreenClose, then
// exit code 0, thrown out of ScreenFlip to the script that called it.
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <vector>

#include "display/converters.h"
#include "display/screen.h"

namespace {

std::int32_t frameWidth = 0;
std::int32_t frameHeight = 0;
std::vector<std::uint8_t> canvasBytes;  // R, G, B, 255 per pixel, rows back to back
bool canvasOpen = false;

}  // namespace

// Returns 0 when the page has no canvas or the browser no 2-D context.
EM_JS(int, OpenCanvas, (const char* title, int width, int height), {
    const canvas = document.getElementById("screen");
    const context = canvas ? canvas.getContext("2d") : null;
    if (!context) return 0;
    canvas.width = width;
    canvas.height = height;
    const text = UTF8ToString(title);
    document.title = text;
    const line = document.getElementById("title");
    if (line) line.textContent = text;
    Module.screen = {context: context, image: context.createImageData(width, height), quit: false};
    Module.screen.onKey = (event) => {
        if (event.key === "Escape") Module.screen.quit = true;
    };
    window.addEventListener("keydown", Module.screen.onKey);
    return 1;
});

// Key events reach the page between frames; this is the pump's whole work.
EM_JS(int, QuitRequested, (), { return Module.screen && Module.screen.quit ? 1 : 0; });

EM_JS(void, PutOnCanvas, (const std::uint8_t* bytes, int byteCount), {
    const screen = Module.screen;
    screen.image.data.set(HEAPU8.subarray(bytes, bytes + byteCount));
    screen.context.putImageData(screen.image, 0, 0);
});

EM_JS(void, CloseCanvas, (), {
    if (!Module.screen) return;
    window.removeEventListener("keydown", Module.screen.onKey);
    Module.screen = null;
});

std::int32_t ScreenOpen(const char* title, std::int32_t width, std::int32_t height) {
    frameWidth = width;
    frameHeight = height;
    if (width <= 0 || height <= 0) return 0;  // no image data of that size
    if (OpenCanvas(title, width, height) == 0) return 0;
    canvasBytes.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
    canvasOpen = true;
    return 1;
}

std::int32_t ScreenFlip(const std::uint32_t* pixels) {
    if (QuitRequested() != 0) {
        ScreenClose();
        std::exit(0);
    }
    if (!canvasOpen) return 0;
    ConvertFrame(ConvertAbgr32, pixels, frameWidth, canvasBytes.data(), std::ptrdiff_t{frameWidth} * 4, frameWidth,
                 frameHeight);
    PutOnCanvas(canvasBytes.data(), static_cast<int>(canvasBytes.size()));
    return 1;
}

void ScreenClose() {
    CloseCanvas();
    canvasBytes = {};
    canvasOpen = false;
}
