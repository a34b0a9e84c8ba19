// Matrix and vector operations, torus, normals, transform and depth sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "app/random.h"
#include "geometry/depth_sort.h"
#include "geometry/matrix.h"
#include "geometry/normals.h"
#include "geometry/rounding.h"
#include "geometry/torus.h"
#include "geometry/transform.h"

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
    SeedRandom(99);
    for (const Vertex& v : vertices) {
        EXPECT_EQ(v.r, static_cast<float>(RandomUnit() * 255.0));
        EXPECT_EQ(v.g, static_cast<float>(RandomUnit() * 255.0));
        EXPECT_EQ(v.b, static_cast<float>(RandomUnit() * 255.0));
    }
    for (std::size_t f = 0; f < faces.size(); f += 2) {
        EXPECT_EQ(faces[f].colorIndex, static_cast<int>(std::floor(RandomUnit() * 255.0)));
    }
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

TEST(Transform, ProjectsThroughTheRoundedDistance) {
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
    TransformVertices(vertices, Identity());
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

TEST(Transform, NormalsGetTheTranslationToo) {
    VertexArray vertices(1, Vertex{});
    vertices[0].nx = 1.0f;
    vertices[0].z = 300.0f;  // behind the eye: normals and tz still written
    Matrix4 shifted = Identity();
    shifted.m[0][3] = 1.0f;
    shifted.m[1][3] = 2.0f;
    shifted.m[2][3] = 3.0f;
    TransformVertices(vertices, shifted);
    EXPECT_EQ(vertices[0].tnx, 2.0f);
    EXPECT_EQ(vertices[0].tny, 2.0f);
    EXPECT_EQ(vertices[0].tnz, 3.0f);
    EXPECT_EQ(vertices[0].tz, 303.0f);
    EXPECT_EQ(vertices[0].sx, 0.0f);
}

namespace {

struct SortResult {
    std::vector<std::int32_t> keys, order;
};

SortResult SortKeys(const std::vector<std::int32_t>& keys) {
    FaceArray faces(keys.size(), Face{});
    for (std::size_t i = 0; i < keys.size(); ++i) {
        faces[i].depthKey = keys[i];
        faces[i].order = static_cast<std::int32_t>(i);
    }
    QuickSortFaces(faces, 0, static_cast<std::int32_t>(keys.size()) - 1);
    SortResult result;
    for (const Face& f : faces) {
        result.keys.push_back(f.depthKey);
        result.order.push_back(f.order);
    }
    return result;
}

}  // namespace

TEST(DepthSort, EqualKeysEndInTheQuicksortsOwnOrder) {
    using Keys = std::vector<std::int32_t>;
    SortResult r = SortKeys({5, 3, 5, 1, 3});
    EXPECT_EQ(r.keys, (Keys{1, 3, 3, 5, 5}));
    EXPECT_EQ(r.order, (Keys{3, 1, 4, 0, 2}));
    r = SortKeys({2, 2, 2, 2});
    EXPECT_EQ(r.order, (Keys{2, 3, 0, 1}));
    r = SortKeys({4, 3, 2, 1, 0});
    EXPECT_EQ(r.order, (Keys{4, 3, 2, 1, 0}));
    r = SortKeys({9});
    EXPECT_EQ(r.order, (Keys{0}));
}

TEST(DepthSort, RandomKeysGiveASortedPermutationMovingOnlyTwoFields) {
    std::mt19937 random(1234);
    for (int round = 0; round < 50; ++round) {
        const auto count = static_cast<std::size_t>(1 + random() % 3000);
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

TEST(DepthSort, KeysAreTheRoundedSumInCornerOrder) {
    VertexArray vertices(3, Vertex{});
    FaceArray faces(2, Face{});
    vertices[0].tz = 1.25f;
    vertices[1].tz = 1.25f;
    vertices[2].tz = -5.0f;
    faces[0].vert0 = 0;
    faces[0].vert1 = 1;
    faces[0].vert2 = 1;  // 3.75 -> 4
    faces[1].vert0 = 0;
    faces[1].vert1 = 1;
    faces[1].vert2 = 2;  // -2.5 -> -2 (ties to even)
    DepthSortFaces(vertices, faces);
    EXPECT_EQ(faces[0].depthKey, -2);
    EXPECT_EQ(faces[0].order, 1);
    EXPECT_EQ(faces[1].depthKey, 4);

    FaceArray none;
    DepthSortFaces(vertices, none);  // nothing to sort, nothing to crash on
    EXPECT_TRUE(none.empty());
}
