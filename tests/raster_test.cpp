// The frame buffer, the span and triangle fills and the mesh renderer: the
// plain fills against the cases their rules spell out, then the fast paths at
// every level this machine runs against the plain ones, over seeded random
// inputs and every awkward length.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "raster/gouraud.h"
#include "raster/gouraud_fast.h"
#include "raster/mesh_renderer.h"
#include "tests/level_fixture.h"
#include "tests/test_support.h"

namespace {

::testing::AssertionResult GuardsIntact(const GuardedFrame& guarded) {
    const int word = OverwrittenGuard(guarded);
    if (word < 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "guard word " << word << " overwritten";
}

// The guards, then the first difference, as "pixel (x, y): expected E, got A".
::testing::AssertionResult SameFrames(const FrameBuffer& expected, const GuardedFrame& actual) {
    if (!GuardsIntact(actual)) return GuardsIntact(actual);
    if (std::memcmp(expected.pixels.data(), actual.frame.pixels.data(), sizeof(FrameBuffer)) == 0) {
        return ::testing::AssertionSuccess();
    }
    std::size_t i = 0;
    while (expected.pixels[i] == actual.frame.pixels[i]) ++i;
    return ::testing::AssertionFailure() << "pixel (" << i % kFrameWidth << ", " << i / kFrameWidth << "): expected "
                                         << Hex(expected.pixels[i]) << ", got " << Hex(actual.frame.pixels[i]);
}

PackedColor Pixel(const FrameBuffer& frame, int x, int y) {
    return frame.pixels[static_cast<std::size_t>(y * kFrameWidth + x)];
}

// The columns of row y that are not black, as "first..last", or "" for none.
std::string RowExtent(const FrameBuffer& frame, int y) {
    int first = -1, last = -1;
    for (int x = 0; x < kFrameWidth; ++x) {
        if (Pixel(frame, x, y) != 0) {
            if (first < 0) first = x;
            last = x;
        }
    }
    return first < 0 ? "" : std::to_string(first) + ".." + std::to_string(last);
}

int CountLitPixels(const FrameBuffer& frame) {
    int lit = 0;
    for (const PackedColor p : frame.pixels) lit += p != 0;
    return lit;
}

constexpr Fixed16 Level(int level) { return level * 65536; }

void RedSpan(FrameBuffer& frame, int x1, int y, int x2, Fixed16 r1, Fixed16 r2) {
    GouraudSpan(frame, x1, y, x2, r1, r2, 0, 0, 0, 0);
}

}  // namespace

TEST(FrameBuffer, ClearBlacksOutEveryPixel) {
    auto guarded = NewGuardedFrame();
    guarded->frame.pixels.fill(0x00FFFFFFu);
    ClearFrameBuffer(guarded->frame);
    EXPECT_EQ(CountLitPixels(guarded->frame), 0);
    EXPECT_EQ(guarded->frame.pixels[307199], 0u);
    EXPECT_TRUE(GuardsIntact(*guarded));
}

TEST(Span, RowsOutsideTheScreenDrawNothing) {
    auto guarded = NewGuardedFrame();
    FrameBuffer& frame = guarded->frame;
    RedSpan(frame, 0, -1, 639, Level(9), Level(9));
    RedSpan(frame, 0, 480, 639, Level(9), Level(9));
    EXPECT_EQ(CountLitPixels(frame), 0);
    RedSpan(frame, 0, 0, 0, Level(9), Level(9));
    RedSpan(frame, 639, 479, 639, Level(9), Level(9));
    EXPECT_EQ(Pixel(frame, 0, 0), 0x00090000u);
    EXPECT_EQ(Pixel(frame, 639, 479), 0x00090000u);
    EXPECT_TRUE(GuardsIntact(*guarded));
}

TEST(Span, InterpolatesFromTheFirstEndAndStopsAStepShort) {
    auto guarded = NewGuardedFrame();
    FrameBuffer& frame = guarded->frame;
    RedSpan(frame, 5, 10, 5, Level(7), Level(200));  // one pixel: first end's colour
    EXPECT_EQ(Pixel(frame, 5, 10), 0x00070000u);
    EXPECT_EQ(Pixel(frame, 4, 10) | Pixel(frame, 6, 10), 0u);

    RedSpan(frame, 0, 11, 1, 0, Level(255));  // step 0x007F8000
    EXPECT_EQ(Pixel(frame, 0, 11), 0x00000000u);
    EXPECT_EQ(Pixel(frame, 1, 11), 0x007F0000u);

    RedSpan(frame, 3, 12, 0, 0, Level(3));  // ends swapped with their colours
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(frame, x, 12), static_cast<PackedColor>(3 - x) << 16);

    // A negative step truncates toward zero: -218453, not -218454.
    RedSpan(frame, 0, 13, 2, Level(10), 0);
    EXPECT_EQ(Pixel(frame, 2, 13) >> 16, static_cast<PackedColor>((Level(10) - 2 * 218453) >> 16));
    EXPECT_TRUE(GuardsIntact(*guarded));
}

TEST(Span, ComposesWithOnlyBlueMasked) {
    auto guarded = NewGuardedFrame();
    GouraudSpan(guarded->frame, 0, 0, 0, 0x00FF8000, 0, 0x00010000, 0, 0x0000FFFF, 0);
    EXPECT_EQ(Pixel(guarded->frame, 0, 0), 0x00FF0100u);
    // Out-of-range levels show through red and green as the shifts leave them.
    GouraudSpan(guarded->frame, 1, 0, 1, Level(0x1FF), 0, Level(0x1FF), 0, Level(0x1FF), 0);
    EXPECT_EQ(Hex(Pixel(guarded->frame, 1, 0)), "0x01FFFFFF");
    GouraudSpan(guarded->frame, 2, 0, 2, 0, 0, Level(-1), 0, 0, 0);  // green's sign spreads up
    EXPECT_EQ(Hex(Pixel(guarded->frame, 2, 0)), "0xFFFFFF00");
}

TEST(Span, ClippedSpansWriteExactlyTheVisiblePixels) {
    auto guarded = NewGuardedFrame();
    FrameBuffer& frame = guarded->frame;
    RedSpan(frame, -10, 100, 700, Level(1), Level(1));
    EXPECT_EQ(RowExtent(frame, 100), "0..639");
    EXPECT_EQ(CountLitPixels(frame), 640);
    RedSpan(frame, 640, 101, 700, Level(1), Level(1));
    RedSpan(frame, -50, 102, -1, Level(1), Level(1));
    RedSpan(frame, INT32_MIN, 103, INT32_MIN, Level(1), Level(1));
    EXPECT_EQ(CountLitPixels(frame), 640);
    RedSpan(frame, INT32_MIN, 104, INT32_MAX, Level(1), Level(1));
    EXPECT_EQ(RowExtent(frame, 104), "0..639");
    EXPECT_TRUE(GuardsIntact(*guarded));
}

TEST(Span, AClippedSpanShowsThePartOfTheGradientOnScreen) {
    auto guarded = NewGuardedFrame();
    FrameBuffer& frame = guarded->frame;
    // Columns -100..155, red 0..256 over 256 pixels: one level per pixel.
    RedSpan(frame, -100, 0, 155, Level(0), Level(256));
    EXPECT_EQ(Pixel(frame, 0, 0), 0x00640000u);
    EXPECT_EQ(Pixel(frame, 155, 0), 0x00FF0000u);
    // Past the right edge the visible part starts from the first end's colour.
    RedSpan(frame, 600, 1, 855, Level(0), Level(256));
    EXPECT_EQ(Pixel(frame, 600, 1), 0u);
    EXPECT_EQ(Pixel(frame, 639, 1), 0x00270000u);
    // Levels stay between the two ends however far the span reaches.
    RedSpan(frame, -2000000000, 2, 2000000000, Level(255), Level(0));
    for (int x = 0; x < kFrameWidth; ++x) EXPECT_EQ(Pixel(frame, x, 2) & 0xFF00FFFFu, 0u) << x;
    EXPECT_EQ(Pixel(frame, 0, 2), Pixel(frame, 639, 2));
}

TEST(Triangle, LongEdgeTruncationAndTheMiddleCornerShowInTheRows) {
    auto guarded = NewGuardedFrame();
    FrameBuffer& frame = guarded->frame;
    const PackedColor white = 0x00FFFFFF;
    GouraudTriangle(frame, 0, 0, 0, 3, 10, 3, white, white, white);
    const char* expectedA[] = {"0..0", "0..3", "0..6", "0..9"};
    for (int y = 0; y < 4; ++y) EXPECT_EQ(RowExtent(frame, y), expectedA[y]) << "row " << y;

    ClearFrameBuffer(frame);
    GouraudTriangle(frame, 0, 0, 10, 3, 0, 3, white, white, white);  // (10,3) stays corner 2
    const char* expectedB[] = {"0..0", "0..3", "0..6", "0..10"};
    for (int y = 0; y < 4; ++y) EXPECT_EQ(RowExtent(frame, y), expectedB[y]) << "row " << y;
    EXPECT_EQ(RowExtent(frame, 4), "");
    EXPECT_TRUE(GuardsIntact(*guarded));
}

TEST(Triangle, FlatTrianglesDrawTheSpanBetweenCornersOneAndTwo) {
    auto guarded = NewGuardedFrame();
    FrameBuffer& frame = guarded->frame;
    // Red 0 toward 10 over 11 pixels: columns 0 and 1 stay below level 1, and the
    // last column stops a step short of 10. Corner 3 plays no part.
    GouraudTriangle(frame, 0, 5, 10, 5, 20, 5, 0x00000000, 0x000A0000, 0x00FF0000);
    EXPECT_EQ(RowExtent(frame, 5), "2..10");
    EXPECT_EQ(Pixel(frame, 10, 5), 0x00090000u);
    EXPECT_EQ(CountLitPixels(frame), 9);

    // Flat top: no upper part; the first row runs between corners 1 and 2.
    ClearFrameBuffer(frame);
    GouraudTriangle(frame, 0, 0, 8, 0, 4, 4, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF);
    EXPECT_EQ(RowExtent(frame, 0), "0..8");
    EXPECT_EQ(RowExtent(frame, 4), "4..4");
}

TEST(Triangle, CornerOrderMattersOnlyForSharedRows) {
    const int corners[3][2] = {{13, 2}, {40, 30}, {3, 21}};
    const PackedColor colours[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    auto reference = NewGuardedFrame();
    GouraudTriangle(reference->frame, corners[0][0], corners[0][1], corners[1][0], corners[1][1],
                    corners[2][0], corners[2][1], colours[0], colours[1], colours[2]);
    const int orders[5][3] = {{0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& o : orders) {
        auto other = NewGuardedFrame();
        GouraudTriangle(other->frame, corners[o[0]][0], corners[o[0]][1], corners[o[1]][0],
                        corners[o[1]][1], corners[o[2]][0], corners[o[2]][1], colours[o[0]],
                        colours[o[1]], colours[o[2]]);
        EXPECT_TRUE(SameFrames(reference->frame, *other)) << o[0] << o[1] << o[2];
    }
}

TEST(Triangle, RowsOffTheScreenAreRejectedButStillStepped) {
    auto guarded = NewGuardedFrame();
    FrameBuffer& frame = guarded->frame;
    GouraudTriangle(frame, 0, -5, 0, 3, 16, 3, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF);
    // The same triangle drawn row by row: row y spans 0..2*(y+5) on the long edge.
    for (int y = 0; y <= 3; ++y) EXPECT_EQ(RowExtent(frame, y), "0.." + std::to_string(2 * (y + 5)));
    EXPECT_EQ(CountLitPixels(frame), 11 + 13 + 15 + 17);
    ClearFrameBuffer(frame);  // and past the last row: row y spans 0..2*(y-474)
    GouraudTriangle(frame, 0, 474, 0, 482, 16, 482, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF);
    EXPECT_EQ(RowExtent(frame, 479), "0..10");
    EXPECT_TRUE(GuardsIntact(*guarded));
}

TEST(Triangle, ExtremeCornersNeverWriteOutsideTheFrame) {
    std::mt19937 random(42);
    const std::int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -(1 << 30), -32768, -1, 0,
                                     479, 639, 32767, 1 << 30, INT32_MAX};
    auto pick = [&] {
        return random() % 2 ? extremes[random() % std::size(extremes)]
                            : static_cast<std::int32_t>(random() % 2000) - 700;
    };
    auto guarded = NewGuardedFrame();
    for (int round = 0; round < 3000; ++round) {
        GouraudTriangle(guarded->frame, pick(), pick(), pick(), pick(), pick(), pick(),
                        static_cast<PackedColor>(random()), static_cast<PackedColor>(random()),
                        static_cast<PackedColor>(random()));
        ASSERT_TRUE(GuardsIntact(*guarded)) << "round " << round;
    }
    // And corners in range still draw after all that.
    ClearFrameBuffer(guarded->frame);
    GouraudTriangle(guarded->frame, -(1 << 30), -(1 << 30), 1 << 30, 100, 100, 1 << 30,
                    0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF);
    EXPECT_GT(CountLitPixels(guarded->frame), 0);
}

namespace {

// A one-face mesh whose corners sit at the given screen points, each with the
// given colour and a normal straight toward the light.
struct FlatMesh {
    VertexArray vertices;
    FaceArray faces;
};

FlatMesh OneFace(std::array<std::array<float, 2>, 3> corners) {
    FlatMesh mesh{VertexArray(3, Vertex{}), FaceArray(1, Face{})};
    for (std::size_t i = 0; i < 3; ++i) {
        mesh.vertices[i].sx = corners[i][0];
        mesh.vertices[i].sy = corners[i][1];
        mesh.vertices[i].tnz = 1.0f;
        mesh.vertices[i].r = 200.0f;
        mesh.vertices[i].g = 100.0f;
        mesh.vertices[i].b = 50.0f;
    }
    mesh.faces[0].vert1 = 1;
    mesh.faces[0].vert2 = 2;
    return mesh;
}

constexpr Vec3 kTowardViewer{0.0f, 0.0f, 1.0f};

void Draw(GuardedFrame& guarded, const FlatMesh& mesh, Vec3 light = kTowardViewer,
          SimdLevel level = ChosenSimdLevel()) {
    const AtSimdLevel at(level);
    CornerCache cache;
    DrawMeshGouraud(guarded.frame, mesh.vertices, mesh.faces, light, cache);
}

}  // namespace

TEST(Renderer, DrawsCounterClockwiseFacesOnlyAndRoundsCorners) {
    auto guarded = NewGuardedFrame();
    Draw(*guarded, OneFace({{{0, 0}, {0, 10}, {10, 0}}}));
    EXPECT_EQ(Pixel(guarded->frame, 0, 0), 0x00C86432u);

    ClearFrameBuffer(guarded->frame);
    Draw(*guarded, OneFace({{{0, 0}, {10, 0}, {0, 10}}}));
    EXPECT_EQ(CountLitPixels(guarded->frame), 0);

    // Corners that round onto one line (2.5 -> 2, 3.5 -> 4) are skipped.
    Draw(*guarded, OneFace({{{0, 0}, {2.5f, 2.5f}, {3.5f, 4.4f}}}));
    EXPECT_EQ(CountLitPixels(guarded->frame), 0);
    Draw(*guarded, OneFace({{{0, 0}, {4.5f, 2.5f}, {2.5f, 2.5f}}}));  // (0,0) (4,2) (2,2): A = -4
    EXPECT_EQ(CountLitPixels(guarded->frame), 0);
    Draw(*guarded, OneFace({{{0, 0}, {2.5f, 2.5f}, {4.5f, 2.5f}}}));  // (0,0) (2,2) (4,2): A = 4
    EXPECT_GT(CountLitPixels(guarded->frame), 0);
    EXPECT_TRUE(GuardsIntact(*guarded));
}

TEST(Renderer, LightsEachCornerWithAClampedDiffuseTerm) {
    struct Case {
        Vec3 normal;
        float r, g, b;
        PackedColor expected;
    };
    const Case cases[] = {
        {{0, 0, 0.5f}, 200, 100, 50, 0x00643219},   // half lit
        {{0, 0, 0}, 200, 100, 50, 0},               // edge-on
        {{0, 0, -1}, 200, 100, 50, 0},              // facing away: no ambient
        {{0, 0, 1.0000001f}, 255, 255, 255, 0x00FFFFFF},  // clamped to 1
        {{0, 0, 0.5f}, 255, 253, 0, 0x00807E00},    // 127.5 -> 128, 126.5 -> 126
        {{0, 0, std::nanf("")}, 255, 255, 255, 0},  // NaN counts as dark
    };
    for (const Case& c : cases) {
        auto guarded = NewGuardedFrame();
        FlatMesh mesh = OneFace({{{0, 0}, {0, 10}, {10, 0}}});
        for (Vertex& v : mesh.vertices) {
            v.tnx = c.normal.x, v.tny = c.normal.y, v.tnz = c.normal.z;
            v.r = c.r, v.g = c.g, v.b = c.b;
        }
        Draw(*guarded, mesh);
        EXPECT_EQ(Hex(Pixel(guarded->frame, 0, 0)), Hex(c.expected)) << "normal z " << c.normal.z;
    }
}

TEST(Renderer, PaintsInSlotOrderReadingCornersFromTheNamedFace) {
    // Two faces over the same pixels: slot order decides which one ends on top.
    auto guarded = NewGuardedFrame();
    FlatMesh mesh = OneFace({{{0, 0}, {0, 10}, {10, 0}}});
    mesh.vertices.resize(6);
    for (std::size_t i = 3; i < 6; ++i) {
        mesh.vertices[i] = mesh.vertices[i - 3];
        mesh.vertices[i].r = 10.0f;
    }
    mesh.faces.resize(2);
    mesh.faces[1] = Face{};
    mesh.faces[1].vert0 = 3;
    mesh.faces[1].vert1 = 4;
    mesh.faces[1].vert2 = 5;
    mesh.faces[0].order = 1;  // draw face 1 first, face 0 over it
    mesh.faces[1].order = 0;
    Draw(*guarded, mesh);
    EXPECT_EQ(Pixel(guarded->frame, 1, 1) >> 16, 200u);
    mesh.faces[0].order = 0;
    mesh.faces[1].order = 1;
    Draw(*guarded, mesh);
    EXPECT_EQ(Pixel(guarded->frame, 1, 1) >> 16, 10u);
}

// The exact answer, for comparison: a GCC and clang extension on 64-bit hosts.
__extension__ using Int128 = __int128;

TEST(Renderer, CullingIsExactForCornersAnywhere) {
    EXPECT_TRUE(FacesViewer({0, 0}, {0, 10}, {10, 0}));
    EXPECT_FALSE(FacesViewer({0, 0}, {10, 0}, {0, 10}));
    EXPECT_FALSE(FacesViewer({0, 0}, {2, 2}, {4, 4}));
    // Far off the screen the products need more than 64 bits.
    const std::int32_t lo = INT32_MIN, hi = INT32_MAX;
    EXPECT_TRUE(FacesViewer({lo, lo}, {lo, hi}, {hi, lo}));
    EXPECT_FALSE(FacesViewer({lo, lo}, {hi, lo}, {lo, hi}));
    EXPECT_FALSE(FacesViewer({lo + 1, lo + 1}, {0, 0}, {hi, hi}));  // on one line
    std::mt19937_64 random(99);
    const auto pick = [&] {
        switch (random() % 3) {
            case 0: return static_cast<std::int32_t>(random());
            case 1: return static_cast<std::int32_t>(random() % 2 ? lo + random() % 8 : hi - random() % 8);
            default: return static_cast<std::int32_t>(random() % 2001) - 1000;
        }
    };
    for (int round = 0; round < 200000; ++round) {
        const ScreenPoint p0{pick(), pick()}, p1{pick(), pick()}, p2{pick(), pick()};
        const Int128 a = Int128{p1.x} - p0.x, b = Int128{p0.y} - p2.y;
        const Int128 c = Int128{p1.y} - p0.y, d = Int128{p0.x} - p2.x;
        ASSERT_EQ(FacesViewer(p0, p1, p2), a * b - c * d > 0)
            << p0.x << "," << p0.y << " " << p1.x << "," << p1.y << " " << p2.x << "," << p2.y;
    }
}

// The fast paths: first the division the packed walk uses, then every level
// above plain that this machine runs against the plain paths, so that a lower
// path is tested on a machine that has a higher. A build or processor with
// the plain paths alone has none of these to run.

// n / d for every divisor the packed walk takes and numerators at and around
// the limit: the multiples of d nearest it and their neighbours (the quotients a
// reciprocal that is slightly off would get wrong), and random ones.
TEST(Divide, ReciprocalsGiveTheTruncatedQuotientBelowTwoToThe27) {
    using namespace packed_divide;
    std::mt19937 random(12);
    for (std::int32_t d = 1; d < kDivisorLimit; ++d) {
        std::vector<std::int32_t> numerators{0, 1, kNumeratorLimit - 1};
        const std::int32_t top = (kNumeratorLimit - 1) / d * d;
        for (const std::int32_t multiple : {top, top - d, d, 2 * d}) {
            for (const std::int32_t offset : {-1, 0, 1, d - 1}) {
                if (multiple + offset < kNumeratorLimit) numerators.push_back(multiple + offset);
            }
        }
        for (int i = 0; i < 16; ++i) numerators.push_back(static_cast<std::int32_t>(random() % kNumeratorLimit));
        for (const std::int32_t n : numerators) {
            for (const std::int32_t signedN : {n, -n}) {
                ASSERT_EQ(static_cast<std::int32_t>(signedN * kReciprocals[static_cast<std::size_t>(d)]), signedN / d)
                    << signedN << " / " << d;
            }
        }
    }
    EXPECT_EQ(kReciprocals[0], 0.0);  // a flat edge: no steps
}

namespace {

std::string Describe(const ScreenTriangle& t) {
    char text[128];
    std::snprintf(text, sizeof text, "(%d, %d, 0x%08X) (%d, %d, 0x%08X) (%d, %d, 0x%08X)", t.x1, t.y1, t.c1, t.x2,
                  t.y2, t.c2, t.x3, t.y3, t.c3);
    return text;
}

// Mostly small triangles on the screen, as a mesh gives them, with shared rows
// and columns, slivers, the screen's edges and some colours with a top byte;
// some reach off the screen.
ScreenTriangle RandomTriangle(std::mt19937& random) {
    std::int32_t x[3], y[3];
    PackedColor c[3];
    const auto size = static_cast<std::int32_t>(1 + random() % (random() % 4 == 0 ? 640 : 40));
    const auto cx = static_cast<std::int32_t>(random() % kFrameWidth);
    const auto cy = static_cast<std::int32_t>(random() % kFrameHeight);
    for (int i = 0; i < 3; ++i) {
        x[i] = cx + static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(2 * size + 1)) - size;
        y[i] = cy + static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(2 * size + 1)) - size;
        c[i] = static_cast<PackedColor>(random()) & (random() % 16 == 0 ? 0xFFFFFFFFu : 0x00FFFFFFu);
    }
    if (random() % 4 == 0) y[random() % 3] = y[random() % 3];  // a flat top or bottom
    if (random() % 8 == 0) x[random() % 3] = x[random() % 3];
    return {x[0], y[0], x[1], y[1], x[2], y[2], c[0], c[1], c[2]};
}

class FastPaths : public AtBuiltLevel<> {
protected:
    // The plain fill (GouraudTriangle one by one) into `expected`, the level's into `actual`.
    void FillBoth(FrameBuffer& expected, FrameBuffer& actual, const std::vector<ScreenTriangle>& triangles) {
        for (FrameBuffer* frame : {&expected, &actual}) {
            const AtSimdLevel at(frame == &expected ? SimdLevel::Plain : GetParam());
            FillTriangles(*frame, triangles.data(), triangles.size());
        }
    }
};

INSTANTIATE_TEST_SUITE_P(Levels, FastPaths, ::testing::ValuesIn(FastSimdLevels()),
                         [](const ::testing::TestParamInfo<SimdLevel>& level) { return SimdLevelTestName(level.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FastPaths);

}  // namespace

TEST_P(FastPaths, RandomTriangleListsFillAsThePlainFill) {
    // Lists of every length up to a few set-up batches and past them; the
    // triangles the packed walk does not take sit among those it does, and the
    // list must keep its order around them, since later triangles paint over
    // earlier ones.
    std::mt19937 random(31);
    auto expected = NewGuardedFrame(&random);
    auto actual = std::make_unique<GuardedFrame>(*expected);
    int walked = 0, total = 0;
    for (int list = 0; list < 600; ++list) {
        std::vector<ScreenTriangle> triangles(random() % 50);
        for (ScreenTriangle& t : triangles) {
            t = RandomTriangle(random);
            walked += FitsPackedWalk(t);
        }
        total += static_cast<int>(triangles.size());
        FillBoth(expected->frame, actual->frame, triangles);
        ASSERT_TRUE(SameFrames(expected->frame, *actual)) << "list " << list << ", last triangle "
                                                          << (triangles.empty() ? "none" : Describe(triangles.back()));
    }
    EXPECT_GT(walked, total / 2);
    EXPECT_GT(total - walked, total / 10);
}

TEST_P(FastPaths, EverySpanLengthFillsAsThePlainSpan) {
    // A triangle on one row is one span from corner 2 toward corner 1. Every
    // short length, the span fills' group sizes and their neighbours, and whole
    // rows; on every row the walk takes (the last it takes included) and the
    // last row, which it leaves to the plain fill; some spans end at the last column.
    std::mt19937 random(21);
    auto expected = NewGuardedFrame(&random);
    auto actual = std::make_unique<GuardedFrame>(*expected);
    std::vector<std::int32_t> lengths;
    for (std::int32_t n = 1; n <= 41; ++n) lengths.push_back(n);
    lengths.insert(lengths.end(), {63, 64, 65, 639, 640});
    for (const std::int32_t n : lengths) {
        for (int round = 0; round < 40; ++round) {
            const std::int32_t y = round < 4 ? kFrameHeight - 1 - round % 2 : static_cast<std::int32_t>(random() % kFrameHeight);
            const std::int32_t x =
                round < 2 ? kFrameWidth - n : static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(kFrameWidth - n + 1));
            const bool reversed = random() % 2 != 0;
            ScreenTriangle t = RandomTriangle(random);
            t.x1 = reversed ? x + n - 1 : x;
            t.x2 = reversed ? x : x + n - 1;
            t.y1 = t.y2 = t.y3 = y;
            t.x3 = static_cast<std::int32_t>(random() % kFrameWidth);
            FillBoth(expected->frame, actual->frame, {t});
            ASSERT_TRUE(SameFrames(expected->frame, *actual)) << "span " << t.x1 << ".." << t.x2 << " of row " << y;
        }
    }
}

TEST_P(FastPaths, EveryCornerOrderOfSharedRowsFillsAsThePlainFill) {
    // Two corners on one row: which becomes the middle corner shows in the
    // picture, and the packed sort of the corners must pick as the plain one does.
    std::mt19937 random(32);
    auto expected = NewGuardedFrame(&random);
    auto actual = std::make_unique<GuardedFrame>(*expected);
    for (int round = 0; round < 300; ++round) {
        ScreenTriangle base = RandomTriangle(random);
        base.y2 = random() % 2 == 0 ? base.y1 : base.y3;
        const ScreenTriangle orders[] = {
            base,
            {base.x1, base.y1, base.x3, base.y3, base.x2, base.y2, base.c1, base.c3, base.c2},
            {base.x2, base.y2, base.x1, base.y1, base.x3, base.y3, base.c2, base.c1, base.c3},
            {base.x2, base.y2, base.x3, base.y3, base.x1, base.y1, base.c2, base.c3, base.c1},
            {base.x3, base.y3, base.x1, base.y1, base.x2, base.y2, base.c3, base.c1, base.c2},
            {base.x3, base.y3, base.x2, base.y2, base.x1, base.y1, base.c3, base.c2, base.c1}};
        for (const ScreenTriangle& t : orders) {
            FillBoth(expected->frame, actual->frame, {t});
            ASSERT_TRUE(SameFrames(expected->frame, *actual)) << Describe(t);
        }
    }
}

TEST_P(FastPaths, TrianglesAtTheEndOfTheFrameReadNothingPastIt) {
    static_assert(sizeof(FrameBuffer) % 64 == 0);
    // The frame's last pixel is the last word before the fence.
    BytesBeforeAFence fenced(sizeof(FrameBuffer));
    ASSERT_NE(fenced.start(), nullptr);
    FrameBuffer& frame = *new (fenced.start()) FrameBuffer;
    ClearFrameBuffer(frame);
    auto expected = std::make_unique<FrameBuffer>();
    ClearFrameBuffer(*expected);
    std::mt19937 random(41);
    // Triangles reaching the bottom right corner, and one row above it.
    for (int round = 0; round < 400; ++round) {
        ScreenTriangle t = RandomTriangle(random);
        t.x1 = kFrameWidth - 1 - static_cast<std::int32_t>(random() % 20);
        t.x2 = kFrameWidth - 1 - static_cast<std::int32_t>(random() % (round % 2 ? 20 : 2));
        t.x3 = kFrameWidth - 1 - static_cast<std::int32_t>(random() % 20);
        t.y1 = kFrameHeight - 1 - static_cast<std::int32_t>(random() % 20);
        t.y2 = kFrameHeight - 1 - round % 2;
        t.y3 = round % 4 < 2 ? t.y2 : kFrameHeight - 1 - static_cast<std::int32_t>(random() % 20);
        FillBoth(*expected, frame, {t});
    }
    EXPECT_TRUE(expected->pixels == frame.pixels);
}

TEST_P(FastPaths, RandomMeshesDrawAsAtThePlainLevel) {
    // The cached and batched drawing against the textbook one. Lights and
    // normals give every kind of intensity, NaN and out-of-range ones
    // included; some corners lie off the screen.
    std::mt19937 random(8);
    const auto unit = [&] { return static_cast<float>(random() % 2001) / 1000.0f - 1.0f; };
    for (int round = 0; round < 10; ++round) {
        FlatMesh mesh;
        const std::size_t vertexCount = 200 + random() % 8;
        for (std::size_t v = 0; v < vertexCount; ++v) {
            Vertex vertex{};
            vertex.sx = 320.0f + 400.0f * unit();
            vertex.sy = 240.0f + 300.0f * unit();
            vertex.tnx = 1.5f * unit(), vertex.tny = 1.5f * unit(), vertex.tnz = 1.5f * unit();
            if (random() % 50 == 0) vertex.tny = std::nanf("");
            vertex.r = 255.0f * std::abs(unit()), vertex.g = 255.0f * std::abs(unit()), vertex.b = 255.0f * std::abs(unit());
            mesh.vertices.push_back(vertex);
        }
        for (std::size_t f = 0; f < 300; ++f) {
            Face face{};
            face.vert0 = static_cast<std::int32_t>(random() % vertexCount);
            face.vert1 = static_cast<std::int32_t>(random() % vertexCount);
            face.vert2 = static_cast<std::int32_t>(random() % vertexCount);
            face.order = static_cast<std::int32_t>((f * 7 + static_cast<std::size_t>(round)) % 300);
            mesh.faces.push_back(face);
        }
        if (round % 2 == 1) mesh.vertices.emplace_back().sx = 2.0e9f;  // far off: the cache's exact test
        const Vec3 toward{unit(), unit(), unit()};
        const float length = std::sqrt(toward.x * toward.x + toward.y * toward.y + toward.z * toward.z);
        const Vec3 light{toward.x / length, toward.y / length, toward.z / length};

        auto expected = NewGuardedFrame(), actual = NewGuardedFrame();
        Draw(*expected, mesh, light, SimdLevel::Plain);
        Draw(*actual, mesh, light, GetParam());
        ASSERT_TRUE(SameFrames(expected->frame, *actual)) << "round " << round;
        EXPECT_GT(CountLitPixels(actual->frame), 1000) << "round " << round;
    }
}
