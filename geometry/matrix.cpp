#include "geometry/matrix.h"

#include <array>
#include <cmath>

#include "geometry/sine_cosine.h"

namespace {

// The program's value of pi: a little above the true one, and part of the picture.
constexpr double kPi = 3.141593;

struct SinCos {
    float s;
    float c;
};

// The angle is rounded to float first and both functions are evaluated on it.
SinCos EvaluateSinCos(std::int32_t degrees) {
    const float radians = static_cast<float>(degrees * kPi / 180.0);
    return {static_cast<float>(SineOf(static_cast<double>(radians))),
            static_cast<float>(CosineOf(static_cast<double>(radians)))};
}

// The frame loop turns through 0..359 degrees only, and correctly rounded
// sines cost a few microseconds a frame: those are worked out once.
constexpr std::int32_t kTabledDegrees = 360;

SinCos SinCosOfDegrees(std::int32_t degrees) {
    static const auto table = [] {
        std::array<SinCos, kTabledDegrees> values;
        for (std::int32_t d = 0; d < kTabledDegrees; ++d) values[static_cast<std::size_t>(d)] = EvaluateSinCos(d);
        return values;
    }();
    if (degrees >= 0 && degrees < kTabledDegrees) return table[static_cast<std::size_t>(degrees)];
    return EvaluateSinCos(degrees);
}

// The rotation turning axis `from` toward axis `to`: row `to` takes +sin of
// `from`, row `from` -sin of `to`.
void SetRotation(Matrix4& m, std::int32_t degrees, int from, int to) {
    const auto [s, c] = SinCosOfDegrees(degrees);
    MatrixIdentity(m);
    m.m[from][from] = c;
    m.m[from][to] = -s;
    m.m[to][from] = s;
    m.m[to][to] = c;
}

}  // namespace

bool ScaleToUnitLength(Vec3& v) {
    const double x = v.x, y = v.y, z = v.z;
    const auto length = static_cast<float>(std::sqrt(x * x + y * y + z * z));
    if (length == 0.0f || std::isnan(length)) return false;
    v = {v.x / length, v.y / length, v.z / length};
    return true;
}

void NormalizeVec3(Vec3& v) {
    if (!ScaleToUnitLength(v)) v = {0.0f, 0.0f, 1.0f};
}

void MatrixZero(Matrix4& m) {
    for (auto& row : m.m) {
        for (float& element : row) element = 0.0f;
    }
}

void MatrixIdentity(Matrix4& m) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) m.m[row][column] = row == column ? 1.0f : 0.0f;
    }
}

void MatrixMultiply(Matrix4& acc, const Matrix4& b) {
    Matrix4 t;
    MatrixZero(t);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            // Each partial sum is rounded to float; row 3 of acc takes part.
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum = static_cast<float>(static_cast<double>(sum) +
                                         static_cast<double>(acc.m[k][column]) * b.m[row][k]);
            }
            t.m[row][column] = sum;
        }
    }
    t.m[3][0] = 0.0f;
    t.m[3][1] = 0.0f;
    t.m[3][2] = 0.0f;
    t.m[3][3] = 1.0f;
    acc = t;
}

void TransformPoint(const Matrix4& m, float x, float y, float z, float& outX, float& outY,
                    float& outZ) {
    const auto row = [&](const float (&r)[4]) {
        return static_cast<float>(((static_cast<double>(r[0]) * x + static_cast<double>(r[1]) * y) +
                                   static_cast<double>(r[2]) * z) +
                                  r[3]);
    };
    outX = row(m.m[0]);
    outY = row(m.m[1]);
    outZ = row(m.m[2]);
}

void MatrixRotateX(Matrix4& m, std::int32_t degrees) { SetRotation(m, degrees, 1, 2); }
void MatrixRotateY(Matrix4& m, std::int32_t degrees) { SetRotation(m, degrees, 2, 0); }
void MatrixRotateZ(Matrix4& m, std::int32_t degrees) { SetRotation(m, degrees, 0, 1); }
