#include "display/sdl/frame_copy.h"

#include <cstddef>

namespace {

PlacedSpan CentreSpan(std::int32_t frameLength, std::int32_t surfaceLength) {
    if (frameLength <= 0 || surfaceLength <= 0) return {0, 0, 0};
    if (surfaceLength >= frameLength) return {0, (surfaceLength - frameLength) / 2, frameLength};
    return {(frameLength - surfaceLength) / 2, 0, surfaceLength};
}

}  // namespace

FramePlacement CentreFrame(std::int32_t frameWidth, std::int32_t frameHeight,
                           std::int32_t surfaceWidth, std::int32_t surfaceHeight) {
    return {CentreSpan(frameWidth, surfaceWidth), CentreSpan(frameHeight, surfaceHeight)};
}

void CopyFrameToSurface(const std::uint32_t* frame, std::int32_t frameWidth,
                        std::int32_t frameHeight, const SurfaceBytes& surface,
                        RowConverter converter) {
    const FramePlacement place = CentreFrame(frameWidth, frameHeight, surface.width, surface.height);
    const std::ptrdiff_t sourceStride = frameWidth;
    const std::ptrdiff_t targetStride = surface.pitch;
    const std::uint32_t* source = frame + place.rows.source * sourceStride + place.columns.source;
    std::uint8_t* target = surface.pixels + place.rows.target * targetStride +
                           std::ptrdiff_t{place.columns.target} * surface.bytesPerPixel;
    ConvertFrame(converter, source, sourceStride, target, targetStride, place.columns.length,
                 place.rows.length);
}
