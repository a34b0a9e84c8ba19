// Matrix and vector operations, torus, normals, transform and depth sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "app/random.h"
#include "geometry/depth_sort.h"
#include "geometry/matrix.h"
#include "geometry/normals.h"
#include "geometry/rounding.h"
#include "geometry/sine_cosine.h"
#include "geometry/torus.h"
#include "geometry/transform.h"
#include "tests/level_fixture.h"
#include "tests/test_support.h"

namespace {

constexpr float kFloatTolerance = 2e-7f;

Matrix4 Identity() {
    Matrix4 m;
    MatrixIdentity(m);
    return m;
}

float Length(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

// The system's torus, built from a fixed seed.
struct Torus {
    VertexArray vertices;
    FaceArray faces;
};

Torus SystemTorus() {
    Torus torus;
    SeedRandom(7);
    MakeTorus(30, 25, 120, 40, 64, torus.vertices, torus.faces);
    CalcNormals(torus.vertices, torus.faces);
    return torus;
}

}  // namespace

TEST(Rounding, TiesGoToEvenAndOutOfRangeGivesIndefinite) {
    for (const auto round : {RoundToInt32, RoundToInt32Portable}) {
        EXPECT_EQ(round(2.5), 2);
        EXPECT_EQ(round(3.5), 4);
        EXPECT_EQ(round(-2.5), -2);
        EXPECT_EQ(round(255.5), 256);
        EXPECT_EQ(round(254.5), 254);
        EXPECT_EQ(round(2147483647.0), 2147483647);
        EXPECT_EQ(round(2147483648.0), kIntegerIndefinite);
        EXPECT_EQ(round(-1e300), kIntegerIndefinite);
        EXPECT_EQ(round(std::nan("")), kIntegerIndefinite);
    }
    EXPECT_EQ(TruncateToInt32(12.999), 12);
    EXPECT_EQ(TruncateToInt32(-2.5), -2);
    EXPECT_EQ(TruncateToInt32(3e9), kIntegerIndefinite);
}

TEST(Vector, NormalizeGivesUnitOrUpForZeroLength) {
    Vec3 light{10.0f, 5.0f, 5.0f};
    NormalizeVec3(light);
    EXPECT_NEAR(light.x, 0.8164966f, kFloatTolerance);
    EXPECT_NEAR(light.y, 0.4082483f, kFloatTolerance);
    EXPECT_EQ(light.y, light.z);

    Vec3 zero{0.0f, 0.0f, 0.0f};
    NormalizeVec3(zero);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 1.0f);
}

TEST(Matrix, RotationsUseTheProgramsPiAndSingleAngles) {
    Matrix4 m;
    MatrixRotateX(m, 0);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f) << r << "," << c;
    }
    // 90 degrees rounds to an angle a little past pi/2: the cosine is not 0.
    MatrixRotateZ(m, 90);
    EXPECT_NEAR(m.m[0][0], -1.63e-7f, 0.01e-7f);
    EXPECT_EQ(m.m[0][0], m.m[1][1]);
    EXPECT_EQ(m.m[1][0], 1.0f);
    EXPECT_EQ(m.m[0][1], -1.0f);

    MatrixRotateY(m, 180);
    EXPECT_EQ(m.m[0][0], -1.0f);
    EXPECT_EQ(m.m[2][2], -1.0f);
    EXPECT_NEAR(m.m[0][2], -3.26e-7f, 0.01e-7f);
    EXPECT_EQ(m.m[2][0], -m.m[0][2]);

    // Both directions, every quadrant, inside and outside the usual 0..359: sine
    // and cosine of the angle rounded to a float, each rounded to a float
    // (pinned values).
    const struct { std::int32_t degrees; float sine, cosine; } pinned[] = {
        {-400, -0.642788351f, 0.766043782f}, {-100, -0.98480773f, -0.173648417f},
        {-1, -0.0174524076f, 0.99984771f},   {45, 0.707106829f, 0.707106709f},
        {200, -0.342020601f, -0.939692438f}, {290, -0.939692497f, 0.342020541f},
        {359, -0.0174516551f, 0.99984771f},  {361, 0.017452959f, 0.99984771f},
        {800, 0.984808087f, 0.173646227f}};
    for (const auto& pin : pinned) {
        MatrixRotateZ(m, pin.degrees);
        EXPECT_EQ(m.m[1][0], pin.sine) << pin.degrees;
        EXPECT_EQ(m.m[0][0], pin.cosine) << pin.degrees;
    }
}

TEST(Matrix, RotationDirectionsAreRightHanded) {
    Matrix4 m;
    float x, y, z;
    MatrixRotateX(m, 90);  // +y toward +z
    TransformPoint(m, 0, 1, 0, x, y, z);
    EXPECT_NEAR(z, 1.0f, 1e-6f);
    MatrixRotateY(m, 90);  // +z toward +x
    TransformPoint(m, 0, 0, 1, x, y, z);
    EXPECT_NEAR(x, 1.0f, 1e-6f);
    MatrixRotateZ(m, 90);  // +x toward +y
    TransformPoint(m, 1, 0, 0, x, y, z);
    EXPECT_NEAR(y, 1.0f, 1e-6f);
}

TEST(Matrix, MultiplyAppliesTheNewMatrixLastAndSetsRowFour) {
    Matrix4 b;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) b.m[r][c] = static_cast<float>(r * 4 + c + 1);
    }
    Matrix4 acc = Identity();
    MatrixMultiply(acc, b);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(acc.m[r][c], b.m[r][c]);
    }
    EXPECT_EQ(acc.m[3][0], 0.0f);
    EXPECT_EQ(acc.m[3][3], 1.0f);

    // Row four of acc takes part in the product; row four of b does not.
    Matrix4 skewed = Identity();
    skewed.m[3][0] = 1.0f;
    Matrix4 translate = Identity();
    translate.m[0][3] = 5.0f;
    MatrixMultiply(skewed, translate);
    EXPECT_EQ(skewed.m[0][0], 6.0f);

    // X then Z: (0, 1, 0) turns to +z about x, and stays there about z.
    Matrix4 world = Identity();
    Matrix4 rotation;
    MatrixRotateX(rotation, 90);
    MatrixMultiply(world, rotation);
    MatrixRotateZ(rotation, 90);
    MatrixMultiply(world, rotation);
    float x, y, z;
    TransformPoint(world, 0, 1, 0, x, y, z);
    EXPECT_NEAR(z, 1.0f, 1e-6f);
    // A matrix may be multiplied by itself.
    Matrix4 twice;
    MatrixRotateZ(twice, 45);
    MatrixMultiply(twice, twice);
    TransformPoint(twice, 1, 0, 0, x, y, z);
    EXPECT_NEAR(y, 1.0f, 1e-6f);
}

TEST(Matrix, MultiplyRoundsEachPartialSumToFloat) {
    // 1 + 2^-24 is lost in float but not in double: a double accumulator would
    // keep it until the next term cancels the 1.
    Matrix4 acc;
    MatrixZero(acc);
    acc.m[0][0] = 1.0f;
    acc.m[1][0] = 1.0f / 16777216.0f;
    acc.m[2][0] = -1.0f;
    Matrix4 b;
    MatrixZero(b);
    b.m[0][0] = b.m[0][1] = b.m[0][2] = 1.0f;
    MatrixMultiply(acc, b);
    EXPECT_EQ(acc.m[0][0], 0.0f);
}

TEST(Matrix, TransformPointAddsTheTranslation) {
    const Matrix4 identity = Identity();
    float x, y, z;
    TransformPoint(identity, 1.5f, -2.0f, 3.25f, x, y, z);
    EXPECT_EQ(x, 1.5f);
    EXPECT_EQ(y, -2.0f);
    EXPECT_EQ(z, 3.25f);
    Matrix4 shifted = Identity();
    shifted.m[0][3] = 1.0f;
    shifted.m[1][3] = 2.0f;
    shifted.m[2][3] = 3.0f;
    TransformPoint(shifted, 0, 0, 0, x, y, z);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(z, 3.0f);
}

TEST(Torus, PositionsAndCornersMatchTheKnownVertices) {
    const Torus torus = SystemTorus();
    ASSERT_EQ(torus.vertices.size(), 750u);
    ASSERT_EQ(torus.faces.size(), 1500u);
    EXPECT_EQ(torus.vertices[0].x, 160.0f);
    EXPECT_EQ(torus.vertices[0].y, 0.0f);
    EXPECT_EQ(torus.vertices[0].z, 0.0f);
    // Ring 1's centre is rounded to (117, 25), so the vertex is off the true circle.
    EXPECT_NEAR(torus.vertices[1].x, 156.1259f, 1e-4f);
    EXPECT_NEAR(torus.vertices[1].y, 33.31647f, 1e-4f);
    EXPECT_NEAR(torus.vertices[30].x, 158.74333f, 1e-4f);
    EXPECT_NEAR(torus.vertices[30].z, 9.947596f, 1e-5f);

    const Face& first = torus.faces[0];
    const Face& second = torus.faces[1];
    EXPECT_EQ((std::array{first.vert0, first.vert1, first.vert2}), (std::array{749, 720, 29}));
    EXPECT_EQ((std::array{second.vert0, second.vert1, second.vert2}), (std::array{720, 0, 29}));
    EXPECT_EQ((std::array{first.tu0, first.tv0, first.tu1, first.tv1, first.tu2, first.tv2}),
              (std::array{64, 0, 0, 0, 64, 64}));
    EXPECT_EQ((std::array{second.tu0, second.tv0, second.tu1, second.tv1, second.tu2, second.tv2}),
              (std::array{0, 0, 0, 64, 64, 64}));
}

TEST(Torus, EveryVertexIsInSixFacesAndQuadsShareAColour) {
    const Torus torus = SystemTorus();
    std::vector<int> uses(torus.vertices.size(), 0);
    for (std::size_t f = 0; f < torus.faces.size(); ++f) {
        const Face& face = torus.faces[f];
        for (const auto v : {face.vert0, face.vert1, face.vert2}) ++uses[static_cast<std::size_t>(v)];
        if (f % 2 == 1) {
            EXPECT_EQ(face.colorIndex, torus.faces[f - 1].colorIndex);
        }
        EXPECT_GE(face.colorIndex, 0);
        EXPECT_LE(face.colorIndex, 255);
    }
    EXPECT_TRUE(std::all_of(uses.begin(), uses.end(), [](int n) { return n == 6; }));
    for (const Vertex& v : torus.vertices) {
        EXPECT_LE(std::abs(v.x), 160.0f);
        EXPECT_LE(std::abs(v.z), 40.0f);
        EXPECT_TRUE(v.r >= 0.0f && v.r <= 255.0f);
    }
}

TEST(Torus, ColoursComeFromThreeDrawsPerVertexThenOnePerQuad) {
    VertexArray vertices;
    FaceArray faces;
    SeedRandom(99);
    MakeTorus(3, 2, 10, 4, 64, vertices, faces);
    // Seed 99 draws 23235 20319 25409 ... 9718 15374 20398 (of 32767) for the
    // six vertices, then 17094 4231 24408 795 32223 22360 for the six quads.
    ASSERT_EQ(vertices.size(), 6u);
    EXPECT_EQ(vertices[0].r, 180.819885f);
    EXPECT_EQ(vertices[0].g, 158.126923f);
    EXPECT_EQ(vertices[0].b, 197.738419f);
    EXPECT_EQ(vertices[5].r, 75.6276169f);
    EXPECT_EQ(vertices[5].b, 158.741714f);
    const int quadColours[] = {133, 32, 189, 6, 250, 174};
    ASSERT_EQ(faces.size(), 12u);
    for (std::size_t f = 0; f < faces.size(); ++f) EXPECT_EQ(faces[f].colorIndex, quadColours[f / 2]) << f;
}

TEST(Torus, OneRingGivesOnlyDegenerateFacesWithZeroNormals) {
    VertexArray vertices;
    FaceArray faces;
    SeedRandom(1);
    MakeTorus(1, 4, 100, 10, 64, vertices, faces);
    CalcNormals(vertices, faces);
    for (const Face& face : faces) {
        EXPECT_EQ(face.nx, 0.0f);
        EXPECT_EQ(face.ny, 0.0f);
        EXPECT_EQ(face.nz, 0.0f);
    }
    for (const Vertex& v : vertices) EXPECT_EQ(Length(v.nx, v.ny, v.nz), 0.0f);
}

TEST(Normals, TorusNormalsAreUnitAndPointOutward) {
    const Torus torus = SystemTorus();
    EXPECT_NEAR(torus.faces[0].nx, 0.98553f, 1e-5f);
    EXPECT_NEAR(torus.faces[0].ny, -0.11469f, 1e-5f);
    EXPECT_NEAR(torus.faces[0].nz, -0.12479f, 1e-5f);
    EXPECT_NEAR(torus.vertices[0].nx, 1.0f, 1e-6f);
    EXPECT_NEAR(torus.vertices[0].ny, 1.1e-7f, 0.2e-7f);
    EXPECT_NEAR(torus.vertices[0].nz, 1.7e-7f, 0.2e-7f);
    EXPECT_NEAR(torus.vertices[749].nx, 0.94845f, 1e-5f);
    EXPECT_NEAR(torus.vertices[749].ny, -0.19675f, 1e-5f);
    EXPECT_NEAR(torus.vertices[749].nz, -0.24847f, 1e-5f);
    for (const Vertex& v : torus.vertices) {
        EXPECT_NEAR(Length(v.nx, v.ny, v.nz), 1.0f, 3e-7f);
        // Outward: away from the tube's centre line.
        const float angle = std::atan2(v.y, v.x);
        const float cx = 120.0f * std::cos(angle), cy = 120.0f * std::sin(angle);
        EXPECT_GT((v.x - cx) * v.nx + (v.y - cy) * v.ny + v.z * v.nz, 0.0f);
    }
}

TEST(Normals, AFaceNamingAVertexTwiceCountsOnce) {
    VertexArray vertices(3, Vertex{});
    vertices[1].x = 1.0f;
    vertices[2].y = 1.0f;
    FaceArray faces(2, Face{});
    faces[0].vert1 = 1;
    faces[0].vert2 = 2;
    faces[1].vert0 = 0;
    faces[1].vert1 = 0;  // degenerate, names vertex 0 twice
    faces[1].vert2 = 1;
    CalcNormals(vertices, faces);
    EXPECT_EQ(faces[0].nz, 1.0f);
    // Vertex 0: (0,0,1) + (0,0,0) over two faces -> (0,0,0.5) -> normalised to (0,0,1).
    EXPECT_EQ(vertices[0].nz, 1.0f);
    EXPECT_EQ(vertices[2].nz, 1.0f);
}

// Every level's path, not only the one this machine would choose.
class TransformAt : public AtBuiltLevel<> {};
INSTANTIATE_TEST_SUITE_P(Levels, TransformAt, ::testing::ValuesIn(BuiltSimdLevels()),
                         [](const auto& test) { return SimdLevelTestName(test.param); });

void TransformAtLevel(SimdLevel level, VertexArray& vertices, const Matrix4& m) {
    const AtSimdLevel at(level);
    TransformVertices(vertices, m);
}

TEST_P(TransformAt, ProjectsThroughTheRoundedDistance) {
    VertexArray vertices(6, Vertex{});
    vertices[1].x = 160.0f;
    vertices[2].y = 100.0f;
    vertices[3].z = 0.5f;  // 255.5 rounds to 256
    vertices[3].x = 100.0f;
    vertices[4].z = 1.5f;  // 254.5 rounds to 254
    vertices[4].x = 127.0f;
    vertices[5].z = 255.5f;  // at the eye: not projected
    vertices[5].sx = 17.0f;
    vertices[5].sy = 18.0f;
    TransformAtLevel(GetParam(), vertices, Identity());
    EXPECT_EQ(vertices[0].sx, 320.0f);
    EXPECT_EQ(vertices[0].sy, 240.0f);
    EXPECT_EQ(vertices[1].sx, 480.0f);
    EXPECT_EQ(vertices[2].sy, 140.0f);
    EXPECT_EQ(vertices[3].sx, 420.0f);
    EXPECT_EQ(vertices[4].sx, 448.0f);
    EXPECT_EQ(vertices[5].sx, 17.0f);
    EXPECT_EQ(vertices[5].sy, 18.0f);
    EXPECT_EQ(vertices[5].tz, 255.5f);
}

TEST_P(TransformAt, NormalsGetTheTranslationToo) {
    Vertex behind{};  // behind the eye: normals and tz still written
    behind.nx = 1.0f;
    behind.z = 300.0f;
    VertexArray vertices(5, behind);
    Matrix4 shifted = Identity();
    shifted.m[0][3] = 1.0f;
    shifted.m[1][3] = 2.0f;
    shifted.m[2][3] = 3.0f;
    TransformAtLevel(GetParam(), vertices, shifted);
    for (const Vertex& v : vertices) {
        EXPECT_EQ((std::array{v.tnx, v.tny, v.tnz, v.tz, v.sx}), (std::array{2.0f, 2.0f, 3.0f, 303.0f, 0.0f}));
    }
}

// Every level above plain against the plain path; none where that is all there is.
class FastTransform : public AtBuiltLevel<> {};
INSTANTIATE_TEST_SUITE_P(Levels, FastTransform, ::testing::ValuesIn(FastSimdLevels()),
                         [](const auto& test) { return SimdLevelTestName(test.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FastTransform);

TEST_P(FastTransform, WritesTheSameFloatsAsThePlainPath) {
    std::mt19937 random(61);
    const auto unit = [&] { return static_cast<float>(random() % 2000001) / 1000000.0f - 1.0f; };
    for (int round = 0; round < 20; ++round) {
        Matrix4 m = Identity(), turn;
        MatrixRotateX(turn, static_cast<std::int32_t>(random() % 360));
        MatrixMultiply(m, turn);
        MatrixRotateY(turn, static_cast<std::int32_t>(random() % 360));
        MatrixMultiply(m, turn);
        if (round % 2 == 1) {
            for (int row = 0; row < 3; ++row) m.m[row][3] = 100.0f * unit();
        }
        VertexArray vertices(503, Vertex{});
        for (Vertex& v : vertices) {
            v.x = 200.0f * unit(), v.y = 200.0f * unit(), v.z = 200.0f * unit();
            v.nx = unit(), v.ny = unit(), v.nz = unit();
            v.sx = 7.0f, v.sy = 9.0f;
            v.r = 255.0f * unit(), v.g = 255.0f * unit(), v.b = 255.0f * unit();
        }
        // Some vertices far along the matrix's z row end up behind the eye:
        // they keep their screen position.
        for (const std::size_t i : {0u, 5u, 10u, 15u, 17u, 18u, 19u, 501u}) {
            vertices[i].x = 1000.0f * m.m[2][0];
            vertices[i].y = 1000.0f * m.m[2][1];
            vertices[i].z = 1000.0f * m.m[2][2];
        }
        VertexArray expected = vertices;
        TransformAtLevel(SimdLevel::Plain, expected, m);
        ASSERT_GE(std::count_if(expected.begin(), expected.end(), [](const Vertex& v) { return v.sx == 7.0f; }), 8);
        TransformAtLevel(GetParam(), vertices, m);
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            // Every field, so that nothing beside the written ones changes either.
            const auto got = std::bit_cast<std::array<std::uint32_t, 17>>(vertices[i]);
            const auto want = std::bit_cast<std::array<std::uint32_t, 17>>(expected[i]);
            for (std::size_t k = 0; k < got.size(); ++k) {
                ASSERT_EQ(Hex(got[k]), Hex(want[k])) << "vertex " << i << " field " << k;
            }
        }
    }
}

namespace {

// Faces whose keys are `keys`: face i has one corner at depth keys[i] and two
// at depth 0.
struct KeyedMesh {
    VertexArray vertices;
    FaceArray faces;
};

KeyedMesh MeshWithKeys(const std::vector<std::int32_t>& keys) {
    KeyedMesh mesh{VertexArray(keys.size() + 1, Vertex{}), FaceArray(keys.size(), Face{})};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        mesh.vertices[i + 1].tz = static_cast<float>(keys[i]);
        mesh.faces[i].vert1 = static_cast<std::int32_t>(i + 1);
    }
    return mesh;
}

struct SortedSlots {
    std::vector<std::int32_t> keys, orders;
};

SortedSlots SortAtLevel(SimdLevel level, KeyedMesh mesh) {
    const AtSimdLevel at(level);
    DepthSortFaces(mesh.vertices, mesh.faces);
    SortedSlots slots;
    for (const Face& face : mesh.faces) {
        slots.keys.push_back(face.depthKey);
        slots.orders.push_back(face.order);
    }
    return slots;
}

}  // namespace

class DepthSortAt : public AtBuiltLevel<> {};
INSTANTIATE_TEST_SUITE_P(Levels, DepthSortAt, ::testing::ValuesIn(BuiltSimdLevels()),
                         [](const auto& test) { return SimdLevelTestName(test.param); });

TEST_P(DepthSortAt, EqualKeysEndInTheQuicksortsOwnOrder) {
    using Keys = std::vector<std::int32_t>;
    SortedSlots r = SortAtLevel(GetParam(), MeshWithKeys({5, 3, 5, 1, 3}));
    EXPECT_EQ(r.keys, (Keys{1, 3, 3, 5, 5}));
    EXPECT_EQ(r.orders, (Keys{3, 1, 4, 0, 2}));
    EXPECT_EQ(SortAtLevel(GetParam(), MeshWithKeys({2, 2, 2, 2})).orders, (Keys{2, 3, 0, 1}));
    EXPECT_EQ(SortAtLevel(GetParam(), MeshWithKeys({4, 3, 2, 1, 0})).orders, (Keys{4, 3, 2, 1, 0}));
    EXPECT_EQ(SortAtLevel(GetParam(), MeshWithKeys({9})).orders, (Keys{0}));
    EXPECT_TRUE(SortAtLevel(GetParam(), MeshWithKeys({})).orders.empty());
}

TEST_P(DepthSortAt, KeysAreTheRoundedSumInCornerOrder) {
    VertexArray vertices(3, Vertex{});
    vertices[0].tz = 1.25f;
    vertices[1].tz = 1.25f;
    vertices[2].tz = -5.0f;
    // Nine faces, so that a path taking faces four at a time rounds both sums
    // in its lanes and in the faces left over.
    FaceArray faces(9, Face{});
    for (std::size_t f = 0; f < faces.size(); ++f) {
        faces[f].vert0 = 0;
        faces[f].vert1 = 1;
        faces[f].vert2 = f % 2 == 0 ? 1 : 2;  // 3.75 -> 4, or -2.5 -> -2 (ties to even)
    }
    const AtSimdLevel at(GetParam());
    DepthSortFaces(vertices, faces);
    for (std::size_t k = 0; k < faces.size(); ++k) {
        EXPECT_EQ(faces[k].depthKey, k < 4 ? -2 : 4) << "slot " << k;
        EXPECT_EQ(faces[k].depthKey, faces[k].order % 2 == 0 ? 4 : -2) << "slot " << k;
    }
}

TEST_P(DepthSortAt, RandomKeysGiveASortedPermutationMovingOnlyTwoFields) {
    const AtSimdLevel at(GetParam());
    std::mt19937 random(1234);
    for (int round = 0; round < 50; ++round) {
        const auto count = static_cast<std::size_t>(1 + random() % 5000);
        VertexArray vertices(count, Vertex{});
        FaceArray faces(count, Face{});
        for (std::size_t i = 0; i < count; ++i) {
            vertices[i].tz = static_cast<float>(static_cast<int>(random() % 321) - 160) / 2.0f;
            faces[i].vert0 = faces[i].vert1 = faces[i].vert2 = static_cast<std::int32_t>(i);
            faces[i].tu0 = static_cast<std::int32_t>(random());
            faces[i].nx = static_cast<float>(i);
        }
        const FaceArray before = faces;
        DepthSortFaces(vertices, faces);
        std::vector<std::int32_t> seen;
        for (std::size_t k = 0; k < count; ++k) {
            if (k > 0) {
                ASSERT_LE(faces[k - 1].depthKey, faces[k].depthKey);
            }
            const auto f = static_cast<std::size_t>(faces[k].order);
            // A key belongs to the face named beside it: three times its depth, rounded.
            ASSERT_EQ(faces[k].depthKey, RoundToInt32(3.0 * vertices[f].tz));
            seen.push_back(faces[k].order);
            ASSERT_EQ(faces[k].vert0, before[k].vert0);
            ASSERT_EQ(faces[k].tu0, before[k].tu0);
            ASSERT_EQ(faces[k].nx, before[k].nx);
        }
        std::sort(seen.begin(), seen.end());
        std::vector<std::int32_t> all(count);
        std::iota(all.begin(), all.end(), 0);
        ASSERT_EQ(seen, all);
    }
}

class FastDepthSort : public AtBuiltLevel<> {};
INSTANTIATE_TEST_SUITE_P(Levels, FastDepthSort, ::testing::ValuesIn(FastSimdLevels()),
                         [](const auto& test) { return SimdLevelTestName(test.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FastDepthSort);

TEST_P(FastDepthSort, LeavesTheSameOrderAsThePlainSort) {
    std::vector<std::vector<std::int32_t>> keySets;
    // Random keys at every small size and around the sizes where the fast sort
    // changes its ways; a narrow spread gives many equal keys.
    std::mt19937 random(51);
    std::vector<std::size_t> sizes;
    for (std::size_t n = 1; n <= 40; ++n) sizes.push_back(n);
    sizes.insert(sizes.end(), {100, 255, 256, 257, 1500, 4095, 4096, 4097, 6000});
    for (const std::size_t size : sizes) {
        for (const std::uint32_t spread : {1u, 2u, 5u, 40u, 400u, 100000u}) {
            std::vector<std::int32_t> keys(size);
            for (std::int32_t& key : keys) key = static_cast<std::int32_t>(random() % spread - spread / 2);
            keySets.push_back(keys);
        }
    }
    // Patterns that make partitions lopsided or empty on one side.
    for (const std::int32_t size : {7, 64, 1500, 4096}) {
        for (int pattern = 0; pattern < 4; ++pattern) {
            std::vector<std::int32_t> keys;
            for (std::int32_t n = 0; n < size; ++n) keys.push_back(std::array{n, -n, n % 3, (n % 2) * n}[pattern]);
            keySets.push_back(keys);
        }
    }
    // Ties at the largest and smallest keys the fast sort keeps beside the
    // order in one word, and just past them, where it leaves the plain sort.
    for (const std::int32_t edge : {(1 << 19) - 1, 1 << 19}) {
        std::vector<std::int32_t> keys;
        for (std::int32_t n = 0; n < 300; ++n) keys.push_back(std::array{edge, -edge - 1, n % 7 - 3, edge - n % 2}[n % 4]);
        keySets.push_back(keys);
    }
    // Ranges of a few slots are finished from a table of patterns: every way
    // five or six keys can compare, with every kind of tie.
    for (const std::size_t size : {5u, 6u}) {
        std::size_t patterns = 1;
        for (std::size_t i = 0; i < size; ++i) patterns *= size;
        for (std::size_t pattern = 0; pattern < patterns; ++pattern) {
            std::vector<std::int32_t> keys;
            for (std::size_t i = 0, rest = pattern; i < size; ++i, rest /= size) keys.push_back(static_cast<std::int32_t>(rest % size) - 2);
            keySets.push_back(keys);
        }
    }
    for (const auto& keys : keySets) {
        const KeyedMesh mesh = MeshWithKeys(keys);
        const SortedSlots expected = SortAtLevel(SimdLevel::Plain, mesh);
        const SortedSlots actual = SortAtLevel(GetParam(), mesh);
        ASSERT_EQ(actual.keys, expected.keys) << keys.size() << " faces";
        ASSERT_EQ(actual.orders, expected.orders) << keys.size() << " faces";
    }
}
