#include <gtest/gtest.h>

#include "geometry/matrix.h"

TEST(Matrix, IdentityIsIdentity) {
    Matrix4 m;
    MatrixIdentity(m);
    EXPECT_EQ(m.m[0][0], 1.0f);
}
