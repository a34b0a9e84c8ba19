// The only road from the program to the screen. Each program links exactly one
// back-end that provides these three operations.
#pragma once

#include <cstdint>

// Opens a display for frames of width x height pixels, with title as the
// window's caption. Returns 1, or 0 when a step fails (nothing is undone then).
// On success the screen saver is off until ScreenClose.
std::int32_t ScreenOpen(const char* title, std::int32_t width, std::int32_t height);

// Handles pending window messages (Esc or a close request ends the process with
// exit code 0 from here), then converts the frame -- width x height pixels of
// 0x00RRGGBB, rows width * 4 bytes apart -- into the display and shows it.
// Returns 1, or 0 when this frame could not be shown.
std::int32_t ScreenFlip(const std::uint32_t* pixels);

// Releases everything the back-end holds and switches the screen saver back on.
void ScreenClose();
