// Vector and matrix operations. Storage is single precision; every product and
// sum is formed in double precision and rounded to float where it is stored.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"

// Divides v by its length, each product and sum in double precision; where
// the length is zero (or NaN) leaves v as it is and returns false.
bool ScaleToUnitLength(Vec3& v);

// Scales v to unit length in place; a zero (or NaN) length gives (0, 0, 1).
void NormalizeVec3(Vec3& v);

void MatrixZero(Matrix4& m);
void MatrixIdentity(Matrix4& m);

// acc = b * acc, so the matrix multiplied in last acts last. Row 3 of the
// result is set to (0, 0, 0, 1), not computed; acc and b may be the same.
void MatrixMultiply(Matrix4& acc, const Matrix4& b);

// Rows 0..2 of m applied to (x, y, z, 1); the translation is always added.
void TransformPoint(const Matrix4& m, float x, float y, float z, float& outX, float& outY,
                    float& outZ);

// Right-handed rotations by whole degrees: X turns +y toward +z, Y turns +z
// toward +x, Z turns +x toward +y.
void MatrixRotateX(Matrix4& m, std::int32_t degrees);
void MatrixRotateY(Matrix4& m, std::int32_t degrees);
void MatrixRotateZ(Matrix4& m, std::int32_t degrees);
