#include "display/sdl/wayland_seat.h"

#include <SDL.h>
#include <wayland-client.h>

#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "display/sdl/video_start.h"

namespace {

// libwayland reports a failed connection on stderr; the programs never write
// to the console.
void DiscardWaylandLog(const char*, va_list) {}

void NoteGlobal(void* seatOffered, wl_registry*, std::uint32_t, const char* interface,
                std::uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0) *static_cast<bool*>(seatOffered) = true;
}

void IgnoreRemovedGlobal(void*, wl_registry*, std::uint32_t) {}

constexpr wl_registry_listener kRegistryListener{NoteGlobal, IgnoreRemovedGlobal};

}  // namespace

bool WaylandCompositorLacksSeat() {
    // A socket handed down in WAYLAND_SOCKET can be connected only once, and
    // SDL needs it: left alone.
    if (IsSet(std::getenv("WAYLAND_SOCKET"))) return false;
    wl_log_set_handler_client(DiscardWaylandLog);
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return false;
    bool seatOffered = false;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &seatOffered);
    const bool answered = wl_display_roundtrip(display) >= 0;  // every global listed by then
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered && !seatOffered;
}

bool SteerClearOfSeatlessWayland() {
    // SDL reads its driver list from the hint or, failing that, SDL_VIDEODRIVER.
    const char* drivers = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    const bool driversChosen = IsSet(drivers);
    if (driversChosen && strcasestr(drivers, "wayland") == nullptr) return true;
    if (!WaylandCompositorLacksSeat()) return true;
    if (driversChosen || !IsSet(std::getenv("DISPLAY"))) return false;
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);  // over an empty variable too
    return true;
}
