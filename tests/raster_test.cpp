// Span and triangle fills, and the mesh renderer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "raster/gouraud.h"
#include "raster/mesh_renderer.h"

namespace {

constexpr PackedColor kGuard = 0xDEADBEEFu;

// A frame buffer with known words on both sides, to catch any write outside it.
struct GuardedFrame {
    std::array<PackedColor, 4096> before;
    FrameBuffer frame;
    std::array<PackedColor, 4096> after;
};

std::unique_ptr<GuardedFrame> NewGuardedFrame() {
    auto guarded = std::make_unique<GuardedFrame>();
    guarded->before.fill(kGuard);
    guarded->after.fill(kGuard);
    ClearFrameBuffer(guarded->frame);
    return guarded;
}

::testing::AssertionResult GuardsIntact(const GuardedFrame& guarded) {
    for (std::size_t i = 0; i < guarded.before.size(); ++i) {
        if (guarded.before[i] != kGuard || guarded.after[i] != kGuard) {
            return ::testing::AssertionFailure() << "guard word " << i << " overwritten";
        }
    }
    return ::testing::AssertionSuccess();
}

PackedColor Pixel(const FrameBuffer& frame, int x, int y) {
    return frame.pixels[static_cast<std::size_t>(y * kFrameWidth + x)];
}

std::string Hex(PackedColor value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
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

TEST(Span, ClippedRunsWriteExactlyTheVisiblePixels) {
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

TEST(Span, AClippedRunShowsThePartOfTheGradientOnScreen) {
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
    // Levels stay between the two ends however far the run reaches.
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

TEST(Triangle, FlatTrianglesDrawTheRunBetweenCornersOneAndTwo) {
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
        EXPECT_TRUE(other->frame.pixels == reference->frame.pixels) << o[0] << o[1] << o[2];
    }
}

TEST(Triangle, RowsOffTheScreenAreRejectedButStillStepped) {
    auto guarded = NewGuardedFrame();
    FrameBuffer& frame = guarded->frame;
    GouraudTriangle(frame, 0, -5, 0, 3, 16, 3, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF);
    // The same triangle drawn row by row: row y spans 0..2*(y+5) on the long edge.
    for (int y = 0; y <= 3; ++y) EXPECT_EQ(RowExtent(frame, y), "0.." + std::to_string(2 * (y + 5)));
    EXPECT_EQ(CountLitPixels(frame), 11 + 13 + 15 + 17);
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

}  // namespace

TEST(Renderer, DrawsCounterClockwiseFacesOnlyAndRoundsCorners) {
    auto guarded = NewGuardedFrame();
    FlatMesh mesh = OneFace({{{0, 0}, {0, 10}, {10, 0}}});
    DrawMeshGouraud(guarded->frame, mesh.vertices, mesh.faces, kTowardViewer);
    EXPECT_EQ(Pixel(guarded->frame, 0, 0), 0x00C86432u);

    ClearFrameBuffer(guarded->frame);
    mesh = OneFace({{{0, 0}, {10, 0}, {0, 10}}});
    DrawMeshGouraud(guarded->frame, mesh.vertices, mesh.faces, kTowardViewer);
    EXPECT_EQ(CountLitPixels(guarded->frame), 0);

    // Corners that round onto one line (2.5 -> 2, 3.5 -> 4) are skipped.
    mesh = OneFace({{{0, 0}, {2.5f, 2.5f}, {3.5f, 4.4f}}});
    DrawMeshGouraud(guarded->frame, mesh.vertices, mesh.faces, kTowardViewer);
    EXPECT_EQ(CountLitPixels(guarded->frame), 0);
    mesh = OneFace({{{0, 0}, {4.5f, 2.5f}, {2.5f, 2.5f}}});  // (0,0) (4,2) (2,2): A = -4
    DrawMeshGouraud(guarded->frame, mesh.vertices, mesh.faces, kTowardViewer);
    EXPECT_EQ(CountLitPixels(guarded->frame), 0);
    mesh = OneFace({{{0, 0}, {2.5f, 2.5f}, {4.5f, 2.5f}}});  // (0,0) (2,2) (4,2): A = 4
    DrawMeshGouraud(guarded->frame, mesh.vertices, mesh.faces, kTowardViewer);
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
        DrawMeshGouraud(guarded->frame, mesh.vertices, mesh.faces, kTowardViewer);
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
    DrawMeshGouraud(guarded->frame, mesh.vertices, mesh.faces, kTowardViewer);
    EXPECT_EQ(Pixel(guarded->frame, 1, 1) >> 16, 200u);
    mesh.faces[0].order = 0;
    mesh.faces[1].order = 1;
    DrawMeshGouraud(guarded->frame, mesh.vertices, mesh.faces, kTowardViewer);
    EXPECT_EQ(Pixel(guarded->frame, 1, 1) >> 16, 10u);
}

TEST(Renderer, CullsAlikeWhetherOrNotAnyCornerIsFarOff) {
    // Corners near the screen take a narrower orientation test than corners
    // far off; one far vertex that no face uses must not change the picture.
    std::mt19937 random(7);
    FlatMesh mesh;
    for (int v = 0; v < 600; ++v) {
        Vertex vertex{};
        // Around the screen, and some at the edge of where the narrow test holds.
        const bool edge = random() % 8 == 0;
        const auto coordinate = [&](float centre) {
            return edge ? static_cast<float>(static_cast<std::int32_t>(random() % 32767) - 16383)
                        : centre + static_cast<float>(random() % 81) - 40.0f;
        };
        vertex.sx = coordinate(320.0f);
        vertex.sy = coordinate(240.0f);
        vertex.tnz = 1.0f;
        vertex.r = static_cast<float>(random() % 256);
        vertex.g = static_cast<float>(random() % 256);
        vertex.b = static_cast<float>(random() % 256);
        mesh.vertices.push_back(vertex);
    }
    for (int f = 0; f < 400; ++f) {
        Face face{};
        face.vert0 = static_cast<std::int32_t>(random() % 600);
        face.vert1 = static_cast<std::int32_t>(random() % 600);
        face.vert2 = static_cast<std::int32_t>(random() % 600);
        face.order = f;
        mesh.faces.push_back(face);
    }
    auto near = NewGuardedFrame();
    DrawMeshGouraud(near->frame, mesh.vertices, mesh.faces, kTowardViewer);
    Vertex far{};
    far.sx = 2147483520.0f;  // rounds to a column just below the largest int
    mesh.vertices.push_back(far);
    auto withFar = NewGuardedFrame();
    DrawMeshGouraud(withFar->frame, mesh.vertices, mesh.faces, kTowardViewer);
    EXPECT_GT(CountLitPixels(near->frame), 1000);
    EXPECT_TRUE(near->frame.pixels == withFar->frame.pixels);
    EXPECT_TRUE(GuardsIntact(*near) && GuardsIntact(*withFar));
}

TEST(Renderer, DrawsAsThePlainStepsDoFaceByFace) {
    // The renderer works corners out four at a time where it can, keeps them in
    // tables and hands triangles to the fill in batches; drawn face by face with
    // the plain pieces, the picture must be the same. Lights and normals give
    // every kind of intensity, NaN and out-of-range ones included.
    std::mt19937 random(8);
    const auto unit = [&] { return static_cast<float>(random() % 2001) / 1000.0f - 1.0f; };
    for (int round = 0; round < 20; ++round) {
        FlatMesh mesh;
        const std::size_t vertexCount = 200 + random() % 8;  // whole groups of four or not
        for (std::size_t v = 0; v < vertexCount; ++v) {
            Vertex vertex{};
            vertex.sx = 320.0f + 400.0f * unit();  // some off the screen
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
            mesh.faces.push_back(face);
        }
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            mesh.faces[f].order = static_cast<std::int32_t>((f * 7 + static_cast<std::size_t>(round)) % mesh.faces.size());
        }
        const Vec3 toward{unit(), unit(), unit()};
        const float length = std::sqrt(toward.x * toward.x + toward.y * toward.y + toward.z * toward.z);
        const Vec3 light{toward.x / length, toward.y / length, toward.z / length};

        auto expected = NewGuardedFrame();
        for (const Face& slot : mesh.faces) {
            const Face& face = mesh.faces[static_cast<std::size_t>(slot.order)];
            const Vertex* corner[3] = {&mesh.vertices[static_cast<std::size_t>(face.vert0)],
                                       &mesh.vertices[static_cast<std::size_t>(face.vert1)],
                                       &mesh.vertices[static_cast<std::size_t>(face.vert2)]};
            std::int32_t x[3], y[3];
            for (int i = 0; i < 3; ++i) {
                x[i] = static_cast<std::int32_t>(std::nearbyint(corner[i]->sx));
                y[i] = static_cast<std::int32_t>(std::nearbyint(corner[i]->sy));
            }
            if (!FacesViewer(x[0], y[0], x[1], y[1], x[2], y[2])) continue;
            GouraudTrianglePlain(expected->frame, x[0], y[0], x[1], y[1], x[2], y[2], LitCornerColor(*corner[0], light),
                                 LitCornerColor(*corner[1], light), LitCornerColor(*corner[2], light));
        }
        auto actual = NewGuardedFrame();
        DrawMeshGouraud(actual->frame, mesh.vertices, mesh.faces, light);
        ASSERT_TRUE(expected->frame.pixels == actual->frame.pixels) << "round " << round;
        EXPECT_GT(CountLitPixels(actual->frame), 1000) << "round " << round;
        EXPECT_TRUE(GuardsIntact(*actual));
    }
}

// The exact answer, for comparison: a GCC and clang extension on 64-bit hosts.
__extension__ using Int128 = __int128;

TEST(Renderer, CullingIsExactForCornersAnywhere) {
    EXPECT_TRUE(FacesViewer(0, 0, 0, 10, 10, 0));
    EXPECT_FALSE(FacesViewer(0, 0, 10, 0, 0, 10));
    EXPECT_FALSE(FacesViewer(0, 0, 2, 2, 4, 4));
    // Far off the screen the products need more than 64 bits.
    const std::int32_t lo = INT32_MIN, hi = INT32_MAX;
    EXPECT_TRUE(FacesViewer(lo, lo, lo, hi, hi, lo));
    EXPECT_FALSE(FacesViewer(lo, lo, hi, lo, lo, hi));
    EXPECT_FALSE(FacesViewer(lo + 1, lo + 1, 0, 0, hi, hi));  // on one line
    std::mt19937_64 random(99);
    const auto pick = [&] {
        switch (random() % 3) {
            case 0: return static_cast<std::int32_t>(random());
            case 1: return static_cast<std::int32_t>(random() % 2 ? lo + random() % 8 : hi - random() % 8);
            default: return static_cast<std::int32_t>(random() % 2001) - 1000;
        }
    };
    for (int round = 0; round < 200000; ++round) {
        const std::int32_t x0 = pick(), y0 = pick(), x1 = pick(), y1 = pick(), x2 = pick(), y2 = pick();
        const Int128 a = Int128{x1} - x0, b = Int128{y0} - y2;
        const Int128 c = Int128{y1} - y0, d = Int128{x0} - x2;
        ASSERT_EQ(FacesViewer(x0, y0, x1, y1, x2, y2), a * b - c * d > 0)
            << x0 << "," << y0 << " " << x1 << "," << y1 << " " << x2 << "," << y2;
    }
}
