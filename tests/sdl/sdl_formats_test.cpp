#include "display/sdl/sdl_formats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/test_support.h"

namespace {

// Every window-surface layout SDL describes that the converters can write.
constexpr Uint32 kWritableFormats[] = {
    SDL_PIXELFORMAT_RGB888,   SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_BGR888,
    SDL_PIXELFORMAT_ABGR8888, SDL_PIXELFORMAT_RGB24,    SDL_PIXELFORMAT_BGR24,
    SDL_PIXELFORMAT_RGB565,   SDL_PIXELFORMAT_BGR565,   SDL_PIXELFORMAT_RGB555,
    SDL_PIXELFORMAT_BGR555,
};

// Reads one surface pixel as SDL's pixel value: little-endian, bytesPerPixel bytes.
Uint32 ReadPixelValue(const std::uint8_t* at, int bytesPerPixel) {
    Uint32 value = 0;
    for (int i = bytesPerPixel - 1; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

TEST(SurfaceConverter, WritesWhatSdlMeansByEachLayout) {
    std::vector<std::uint32_t> row = RandomPixels(64, 7, 0x00FFFFFFu);
    row[0] = 0x00FFFFFF;
    row[1] = 0x00FF0000;
    row[2] = 0x000000FF;

    for (const Uint32 format : kWritableFormats) {
        SDL_PixelFormat* sdlFormat = SDL_AllocFormat(format);
        ASSERT_NE(sdlFormat, nullptr) << SDL_GetPixelFormatName(format);
        const RowConverter convert = SelectSurfaceConverter(*sdlFormat);
        ASSERT_NE(convert, nullptr) << SDL_GetPixelFormatName(format);
        EXPECT_EQ(SelectLayoutConverter(format), convert) << SDL_GetPixelFormatName(format);

        std::vector<std::uint8_t> written(row.size() * sdlFormat->BytesPerPixel);
        convert(row.data(), written.data(), static_cast<std::int32_t>(row.size()));
        const Uint32 colourBits = sdlFormat->Rmask | sdlFormat->Gmask | sdlFormat->Bmask;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const Uint32 p = row[i];
            const Uint32 expected = SDL_MapRGB(sdlFormat, static_cast<Uint8>(p >> 16),
                                               static_cast<Uint8>(p >> 8), static_cast<Uint8>(p));
            const Uint32 actual =
                ReadPixelValue(&written[i * sdlFormat->BytesPerPixel], sdlFormat->BytesPerPixel);
            EXPECT_EQ(actual & colourBits, expected & colourBits)
                << SDL_GetPixelFormatName(format) << ", frame pixel 0x" << std::hex << p;
        }
        SDL_FreeFormat(sdlFormat);
    }
}

TEST(SurfaceConverter, LayoutsOutsideTheTableHaveNone) {
    for (const Uint32 format : {SDL_PIXELFORMAT_INDEX8, SDL_PIXELFORMAT_RGB332,
                                SDL_PIXELFORMAT_RGB444, SDL_PIXELFORMAT_RGBA8888,
                                SDL_PIXELFORMAT_BGRA8888, SDL_PIXELFORMAT_ARGB2101010}) {
        SDL_PixelFormat* sdlFormat = SDL_AllocFormat(format);
        ASSERT_NE(sdlFormat, nullptr) << SDL_GetPixelFormatName(format);
        EXPECT_EQ(SelectSurfaceConverter(*sdlFormat), nullptr) << SDL_GetPixelFormatName(format);
        EXPECT_EQ(SelectLayoutConverter(format), nullptr) << SDL_GetPixelFormatName(format);
        SDL_FreeFormat(sdlFormat);
    }
    EXPECT_EQ(SelectLayoutConverter(SDL_PIXELFORMAT_UNKNOWN), nullptr);  // a 30-bit X screen
}

TEST(SurfaceConverter, BitsPerPixelCountStorageNotColourBits) {
    EXPECT_EQ(StorageBitsPerPixel(SDL_PIXELFORMAT_RGB888), 32u);  // SDL calls this 24 bits
    EXPECT_EQ(StorageBitsPerPixel(SDL_PIXELFORMAT_RGB24), 24u);
    EXPECT_EQ(StorageBitsPerPixel(SDL_PIXELFORMAT_RGB555), 16u);  // SDL calls this 15 bits
}

SDL_DisplayMode Mode(int w, int h, Uint32 format, int refreshRate = 60) {
    return {format, w, h, refreshRate, nullptr};
}

TEST(FullscreenMode, Prefers32Then24Then16BitsAtTheFrameSize) {
    std::vector<SDL_DisplayMode> modes = {
        Mode(800, 600, SDL_PIXELFORMAT_RGB888),  Mode(640, 480, SDL_PIXELFORMAT_RGB565),
        Mode(640, 480, SDL_PIXELFORMAT_RGB24),   Mode(640, 480, SDL_PIXELFORMAT_RGB888),
        Mode(640, 400, SDL_PIXELFORMAT_RGB888),
    };
    SDL_DisplayMode chosen{};
    ASSERT_TRUE(FindFullscreenMode(modes, 640, 480, chosen));
    EXPECT_EQ(chosen.format, SDL_PIXELFORMAT_RGB888);

    modes.erase(modes.begin() + 3);
    ASSERT_TRUE(FindFullscreenMode(modes, 640, 480, chosen));
    EXPECT_EQ(chosen.format, SDL_PIXELFORMAT_RGB24);

    modes.erase(modes.begin() + 2);
    ASSERT_TRUE(FindFullscreenMode(modes, 640, 480, chosen));
    EXPECT_EQ(chosen.format, SDL_PIXELFORMAT_RGB565);
    EXPECT_EQ(chosen.w, 640);
    EXPECT_EQ(chosen.h, 480);
}

TEST(FullscreenMode, FirstListedWinsAmongEquals) {
    const std::vector<SDL_DisplayMode> modes = {
        Mode(640, 480, SDL_PIXELFORMAT_RGB555, 75),
        Mode(640, 480, SDL_PIXELFORMAT_RGB565, 60),
    };
    SDL_DisplayMode chosen{};
    ASSERT_TRUE(FindFullscreenMode(modes, 640, 480, chosen));
    EXPECT_EQ(chosen.format, SDL_PIXELFORMAT_RGB555);  // 5-5-5 is a 16-bit mode too
    EXPECT_EQ(chosen.refresh_rate, 75);
}

TEST(FullscreenMode, NoneWithoutTheFrameSizeAtAnAcceptedDepth) {
    const std::vector<SDL_DisplayMode> modes = {
        Mode(1920, 1080, SDL_PIXELFORMAT_RGB888), Mode(640, 480, SDL_PIXELFORMAT_INDEX8),
        Mode(480, 640, SDL_PIXELFORMAT_RGB888),
    };
    SDL_DisplayMode chosen{};
    EXPECT_FALSE(FindFullscreenMode(modes, 640, 480, chosen));
    EXPECT_FALSE(FindFullscreenMode({}, 640, 480, chosen));
}

}  // namespace
