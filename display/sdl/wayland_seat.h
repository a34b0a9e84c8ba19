// Keeping SDL away from a Wayland compositor that offers no input seat: SDL
// 2.26 dereferences the missing seat while its Wayland driver starts, and the
// process dies inside SDL_InitSubSystem.
#pragma once

// True when the compositor SDL would reach (WAYLAND_DISPLAY, else wayland-0)
// answers and lists no wl_seat. False when it has one or none answers.
bool WaylandCompositorLacksSeat();

// Called before every start of SDL's video. Where SDL might pick its Wayland
// driver and the compositor lacks a seat: points SDL at the X display if one
// is named and no driver was asked for, else returns false (no display).
bool SteerClearOfSeatlessWayland();
