// What the SDL back-end decides from SDL's own descriptions of pixel layouts
// and display modes. Needs no display: the tests feed it SDL's format tables.
#pragma once

#include <SDL.h>

#include <span>

#include "display/converters.h"

// Bits per pixel as the converter table counts them: the storage size, so that
// 0RGB 8-8-8 is 32 and 5-5-5 is 16.
Uint32 StorageBitsPerPixel(Uint32 pixelFormat);

// The row converter that writes this layout, or nullptr when there is none.
// An alpha channel is ignored: a window surface is opaque.
RowConverter SelectSurfaceConverter(const SDL_PixelFormat& format);

// The same for a layout known by SDL's name for it; nullptr for one SDL cannot
// name (SDL_PIXELFORMAT_UNKNOWN, as for a screen of 10 bits a channel).
RowConverter SelectLayoutConverter(Uint32 pixelFormat);

// The mode of width x height with 32 bits per pixel, else 24, else 16; among
// equals the first listed (SDL lists the highest refresh rate first). False
// when no mode fits.
bool FindFullscreenMode(std::span<const SDL_DisplayMode> modes, int width, int height,
                        SDL_DisplayMode& chosen);
