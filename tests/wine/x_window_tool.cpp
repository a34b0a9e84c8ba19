// x-window-tool: what the Wine end-to-end tests need from the X server that
// xdotool does not give.
//
//   x-window-tool geometry WINDOW     prints "X Y WIDTH HEIGHT" of the window on the root
//   x-window-tool close WINDOW        asks the window to close, as a window manager's close button does
//   x-window-tool sample X Y W H      prints "pixels N black N white N hash H" for that root area
//   x-window-tool visual              prints "depth D red R green G blue B" of the screen's visual
//   x-window-tool dump X Y W H FILE   writes that root area's pixel values to FILE, rows packed,
//                                     least significant byte first: 2 bytes a pixel on a screen
//                                     of depth 16, else 4
//
// WINDOW is a decimal or 0x-hex window id. The display comes from $DISPLAY.
// Exit codes: 0 done, 1 X failure, 2 bad arguments.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/x11_window.h"

namespace {

bool ParseNumber(const char* text, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 0);
    return end != text && *end == '\0';
}

int PrintGeometry(Display* display, Window window) {
    WindowBox box;
    if (!WindowOnRoot(display, window, box)) return 1;
    std::printf("%d %d %d %d\n", box.x, box.y, box.width, box.height);
    return 0;
}

int RequestClose(Display* display, Window window) { return RequestWindowClose(display, window) ? 0 : 1; }

// Counts black and white pixels of a root-window area (clipped to the screen)
// and hashes all of them (FNV-1a), so two samples of a moving picture differ.
int SampleArea(Display* display, long x, long y, long width, long height) {
    const int screen = DefaultScreen(display);
    const long screenWidth = DisplayWidth(display, screen);
    const long screenHeight = DisplayHeight(display, screen);
    const long left = x < 0 ? 0 : x, top = y < 0 ? 0 : y;
    const long right = x + width > screenWidth ? screenWidth : x + width;
    const long bottom = y + height > screenHeight ? screenHeight : y + height;
    if (right <= left || bottom <= top) return 2;
    XImage* image = XGetImage(display, RootWindow(display, screen), static_cast<int>(left),
                              static_cast<int>(top), static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (image == nullptr) return 1;
    const unsigned long black = BlackPixel(display, screen), white = WhitePixel(display, screen);
    long blackCount = 0, whiteCount = 0;
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (int row = 0; row < image->height; ++row) {
        for (int column = 0; column < image->width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            blackCount += pixel == black;
            whiteCount += pixel == white;
            hash = (hash ^ pixel) * 0x100000001B3u;
        }
    }
    std::printf("pixels %ld black %ld white %ld hash %016llx\n",
                static_cast<long>(image->width) * image->height, blackCount, whiteCount,
                static_cast<unsigned long long>(hash));
    XDestroyImage(image);
    return 0;
}

// The pixel values as the screen holds them, for an exact comparison with a
// frame converted to the screen's layout.
int DumpArea(Display* display, long x, long y, long width, long height, const char* path) {
    const int screen = DefaultScreen(display);
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > DisplayWidth(display, screen) ||
        y + height > DisplayHeight(display, screen)) {
        return 2;
    }
    XImage* image = XGetImage(display, RootWindow(display, screen), static_cast<int>(x),
                              static_cast<int>(y), static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return 1;
    const int bytesPerPixel = DefaultDepth(display, screen) == 16 ? 2 : 4;
    std::vector<unsigned char> bytes;
    for (int row = 0; row < image->height; ++row) {
        for (int column = 0; column < image->width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            for (int byte = 0; byte < bytesPerPixel; ++byte) {
                bytes.push_back(static_cast<unsigned char>(pixel >> (8 * byte)));
            }
        }
    }
    XDestroyImage(image);
    std::FILE* file = std::fopen(path, "wb");
    bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (!written) std::fprintf(stderr, "x-window-tool: cannot write %s\n", path);
    return written ? 0 : 1;
}

int PrintVisual(Display* display) {
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    std::printf("depth %d red 0x%lx green 0x%lx blue 0x%lx\n", DefaultDepth(display, screen),
                visual->red_mask, visual->green_mask, visual->blue_mask);
    return 0;
}

int Run(Display* display, int argc, char** argv) {
    const std::string command = argv[1];
    if (command == "visual") return argc == 2 ? PrintVisual(display) : 2;
    long numbers[4] = {};
    const bool area = command == "sample" || command == "dump";
    const int wanted = area ? 4 : 1;
    if (argc != 2 + wanted + (command == "dump" ? 1 : 0)) return 2;
    for (int i = 0; i < wanted; ++i) {
        if (!ParseNumber(argv[2 + i], numbers[i])) return 2;
    }
    const auto window = static_cast<Window>(numbers[0]);
    if (command == "geometry") return PrintGeometry(display, window);
    if (command == "close") return RequestClose(display, window);
    if (command == "sample") return SampleArea(display, numbers[0], numbers[1], numbers[2], numbers[3]);
    if (command == "dump") return DumpArea(display, numbers[0], numbers[1], numbers[2], numbers[3], argv[6]);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: x-window-tool geometry|close WINDOW | sample X Y W H | "
                             "dump X Y W H FILE | visual\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x-window-tool: cannot open display\n");
        return 1;
    }
    const int result = Run(display, argc, argv);
    if (result == 2) std::fprintf(stderr, "x-window-tool: bad arguments\n");
    XCloseDisplay(display);
    return result;
}
