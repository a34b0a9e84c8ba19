// What both end-to-end suites ask of a program's window through Xlib: where it
// lies on the root window, and to close the way a window manager's close
// button asks.
#pragma once

#include <X11/Xlib.h>

struct WindowBox {
    int x, y, width, height;
};

// The window's area in root-window coordinates; false when there is no such window.
inline bool WindowOnRoot(Display* display, Window window, WindowBox& box) {
    XWindowAttributes attributes;
    Window child;
    if (XGetWindowAttributes(display, window, &attributes) == 0 ||
        !XTranslateCoordinates(display, window, attributes.root, 0, 0, &box.x, &box.y, &child)) {
        return false;
    }
    box.width = attributes.width;
    box.height = attributes.height;
    return true;
}

// The ICCCM close request: a WM_PROTOCOLS client message carrying
// WM_DELETE_WINDOW. False when it could not be sent.
inline bool RequestWindowClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    XSync(display, False);
    return sent;
}
