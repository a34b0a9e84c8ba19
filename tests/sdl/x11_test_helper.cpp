// What the end-to-end tests need from the X server and from screenshots that
// the stock tools do not give: find a program's window, ask it to close the
// way a window manager would, see the cursor, count pixels in a PNG, read the
// screen's layout and its exact pixel values.
//
//   x11_test_helper window-of-pid PID TIMEOUT_MS   prints the window id; fails early
//                                                  when the process ends
//   x11_test_helper geometry WINDOW                prints "X Y WIDTH HEIGHT"
//   x11_test_helper close WINDOW                   sends WM_DELETE_WINDOW
//   x11_test_helper focus WINDOW|none              sets the input focus
//   x11_test_helper cursor-hidden                  exit 0 when the cursor shows no pixel
//   x11_test_helper png-coloured FILE X Y W H      prints the coloured pixels in the box
//   x11_test_helper png-nonblack FILE X Y W H      prints the pixels in the box that are not black
//   x11_test_helper png-differ FILE FILE           prints the pixels that differ
//   x11_test_helper visual                         prints "depth D red R green G blue B" of the screen
//   x11_test_helper dump X Y W H FILE              writes the screen's pixel values in that box to
//                                                  FILE, rows packed, least significant byte first:
//                                                  2 bytes a pixel on a screen of depth 16, else 4
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <stb_image.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/x11_window.h"

namespace {

int Fail(const char* message) {
    std::fprintf(stderr, "x11_test_helper: %s\n", message);
    return 2;
}

// A busy server turns a client away now and then; it answers again within
// milliseconds.
Display* OpenDisplay() {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) return display;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "x11_test_helper: cannot open display\n");
    std::exit(2);
}

// Gone, or a zombie that its parent has not waited for yet.
bool ProcessEnded(long pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return true;
    char state = '?';
    const bool read = std::fscanf(file, "%*d (%*[^)]) %c", &state) == 1;
    std::fclose(file);
    return read && state == 'Z';
}

Window ParseWindow(const char* text) { return std::strtoul(text, nullptr, 0); }

long WindowPid(Display* display, Window window) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &remaining, &data) == Success &&
        data != nullptr && count == 1 && format == 32) {
        pid = *reinterpret_cast<long*>(data);
    }
    if (data != nullptr) XFree(data);
    return pid;
}

bool IsShown(Display* display, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

// With no window manager the program's window is a child of the root.
Window FindViewableWindowOf(Display* display, long pid) {
    Window root, parent, found = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return 0;
    }
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        if (WindowPid(display, children[i]) == pid && IsShown(display, children[i])) {
            found = children[i];
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

// A window can go between the listing of the root's children and the
// questions about it -- a short-lived one that a program makes while it
// starts, say. It is then not the window looked for; Xlib's default handler
// would end the helper instead.
int IgnoreVanishedWindow(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow) return 0;
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "x11_test_helper: X error: %s\n", text);
    std::exit(2);
}

int WindowOfPid(long pid, long timeoutMs) {
    Display* display = OpenDisplay();
    XSetErrorHandler(IgnoreVanishedWindow);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (const Window window = FindViewableWindowOf(display, pid); window != 0) {
            std::printf("0x%lx\n", window);
            return 0;
        }
        if (ProcessEnded(pid)) return Fail("the process ended without a window");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return Fail("no viewable window of that process");
}

int Geometry(Window window) {
    WindowBox box;
    if (!WindowOnRoot(OpenDisplay(), window, box)) return Fail("no such window");
    std::printf("%d %d %d %d\n", box.x, box.y, box.width, box.height);
    return 0;
}

// What a window manager sends when the user clicks the close button.
int Close(Window window) {
    RequestWindowClose(OpenDisplay(), window);
    return 0;
}

int Focus(const char* target) {
    Display* display = OpenDisplay();
    const Window window = std::strcmp(target, "none") == 0 ? None : ParseWindow(target);
    XSetInputFocus(display, window, RevertToNone, CurrentTime);
    XSync(display, False);
    return 0;
}

int CursorHidden() {
    Display* display = OpenDisplay();
    int eventBase, errorBase;
    if (!XFixesQueryExtension(display, &eventBase, &errorBase)) return Fail("no XFIXES");
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (image == nullptr) return Fail("no cursor image");
    int visible = 0;
    for (int i = 0; i < image->width * image->height; ++i) {
        if ((image->pixels[i] >> 24) != 0) ++visible;  // ARGB, one pixel per long
    }
    std::printf("cursor %dx%d, %d visible pixels\n", image->width, image->height, visible);
    XFree(image);
    return visible == 0 ? 0 : 1;
}

struct Image {
    int width = 0, height = 0;
    unsigned char* rgb = nullptr;
};

Image LoadPng(const char* path) {
    Image image;
    int channels;
    image.rgb = stbi_load(path, &image.width, &image.height, &channels, 3);
    if (image.rgb == nullptr) {
        std::fprintf(stderr, "x11_test_helper: cannot read %s\n", path);
        std::exit(2);
    }
    return image;
}

const unsigned char* PixelAt(const Image& image, int x, int y) {
    return image.rgb + (static_cast<long>(y) * image.width + x) * 3;
}

// Coloured: not black, white or grey. The torus is; an empty screen is not.
bool IsColoured(const unsigned char* p) {
    constexpr int kLeastSpread = 24;
    const int highest = std::max({p[0], p[1], p[2]});
    const int lowest = std::min({p[0], p[1], p[2]});
    return highest - lowest > kLeastSpread;
}

bool IsNotBlack(const unsigned char* p) { return p[0] != 0 || p[1] != 0 || p[2] != 0; }

int CountInBox(const char* path, int x0, int y0, int width, int height,
               bool (*counts)(const unsigned char*)) {
    const Image image = LoadPng(path);
    if (x0 < 0 || y0 < 0 || width < 0 || height < 0 || x0 + width > image.width ||
        y0 + height > image.height) {
        return Fail("box outside the image");
    }
    long found = 0;
    for (int y = y0; y < y0 + height; ++y) {
        for (int x = x0; x < x0 + width; ++x) {
            if (counts(PixelAt(image, x, y))) ++found;
        }
    }
    std::printf("%ld\n", found);
    return 0;
}

int PngDiffer(const char* pathA, const char* pathB) {
    const Image a = LoadPng(pathA);
    const Image b = LoadPng(pathB);
    if (a.width != b.width || a.height != b.height) return Fail("images differ in size");
    long differing = 0;
    for (long i = 0; i < static_cast<long>(a.width) * a.height * 3; i += 3) {
        if (std::memcmp(a.rgb + i, b.rgb + i, 3) != 0) ++differing;
    }
    std::printf("%ld\n", differing);
    return 0;
}

int PrintVisual() {
    Display* display = OpenDisplay();
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    std::printf("depth %d red 0x%lx green 0x%lx blue 0x%lx\n", DefaultDepth(display, screen),
                visual->red_mask, visual->green_mask, visual->blue_mask);
    return 0;
}

// The pixel values as the screen holds them, for an exact comparison with a
// frame converted to the screen's layout.
int DumpBox(int x, int y, int width, int height, const char* path) {
    Display* display = OpenDisplay();
    const int screen = DefaultScreen(display);
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > DisplayWidth(display, screen) ||
        y + height > DisplayHeight(display, screen)) {
        return Fail("the box is not on the screen");
    }
    XImage* image = XGetImage(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return Fail("cannot read the screen");
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
    return written ? 0 : Fail("cannot write the dump");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "window-of-pid" && argc == 4) {
        return WindowOfPid(std::atol(argv[2]), std::atol(argv[3]));
    }
    if (command == "geometry" && argc == 3) return Geometry(ParseWindow(argv[2]));
    if (command == "close" && argc == 3) return Close(ParseWindow(argv[2]));
    if (command == "focus" && argc == 3) return Focus(argv[2]);
    if (command == "cursor-hidden" && argc == 2) return CursorHidden();
    if ((command == "png-coloured" || command == "png-nonblack") && argc == 7) {
        return CountInBox(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                          std::atoi(argv[6]), command == "png-coloured" ? IsColoured : IsNotBlack);
    }
    if (command == "png-differ" && argc == 4) return PngDiffer(argv[2], argv[3]);
    if (command == "visual" && argc == 2) return PrintVisual();
    if (command == "dump" && argc == 7) {
        return DumpBox(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), argv[6]);
    }
    return Fail("usage: see the top of x11_test_helper.cpp");
}
