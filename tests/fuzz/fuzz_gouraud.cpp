// GouraudSpan, GouraudTriangle and the fast triangle fill with any corners,
// rows and colours: no undefined behaviour, and nothing written outside the frame.
#include "raster/gouraud.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input{data, size};
    static GuardedFrame& guarded = *NewGuardedFrame().release();
    const auto kind = input.Take<std::uint8_t>();
    if (kind % 2 == 0) {
        const auto x1 = input.Take<std::int32_t>(), y = input.Take<std::int32_t>(),
                   x2 = input.Take<std::int32_t>();
        const auto r1 = input.Take<std::int32_t>(), r2 = input.Take<std::int32_t>();
        const auto g1 = input.Take<std::int32_t>(), g2 = input.Take<std::int32_t>();
        const auto b1 = input.Take<std::int32_t>(), b2 = input.Take<std::int32_t>();
        GouraudSpan(guarded.frame, x1, y, x2, r1, r2, g1, g2, b1, b2);
    } else {
        std::int32_t corners[6];
        for (std::int32_t& c : corners) c = input.Take<std::int32_t>();
        const auto c1 = input.Take<PackedColor>(), c2 = input.Take<PackedColor>(),
                   c3 = input.Take<PackedColor>();
        const ScreenTriangle t{corners[0], corners[1], corners[2], corners[3], corners[4], corners[5], c1, c2, c3};
        if (kind % 4 == 1) {
            GouraudTriangle(guarded.frame, t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, t.c1, t.c2, t.c3);
        } else {
            FillTriangles(guarded.frame, &t, 1);
        }
    }
    AbortIfGuardOverwritten(guarded);
    return 0;
}
