#include "display/sdl/sdl_formats.h"

Uint32 StorageBitsPerPixel(Uint32 pixelFormat) {
    return static_cast<Uint32>(SDL_BYTESPERPIXEL(pixelFormat)) * 8;
}

RowConverter SelectSurfaceConverter(const SDL_PixelFormat& format) {
    return SelectRowConverter(StorageBitsPerPixel(format.format), format.Rmask, format.Gmask,
                              format.Bmask);
}

RowConverter SelectLayoutConverter(Uint32 pixelFormat) {
    int bits = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    if (SDL_PixelFormatEnumToMasks(pixelFormat, &bits, &red, &green, &blue, &alpha) == SDL_FALSE) return nullptr;
    return SelectRowConverter(StorageBitsPerPixel(pixelFormat), red, green, blue);
}

bool FindFullscreenMode(std::span<const SDL_DisplayMode> modes, int width, int height,
                        SDL_DisplayMode& chosen) {
    for (const Uint32 bits : {32u, 24u, 16u}) {
        for (const SDL_DisplayMode& mode : modes) {
            if (mode.w == width && mode.h == height && StorageBitsPerPixel(mode.format) == bits) {
                chosen = mode;
                return true;
            }
        }
    }
    return false;
}
