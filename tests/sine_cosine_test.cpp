// Our sine and cosine against 113-bit ones rounded once to double, which is
// the correctly rounded answer on all but freak inputs. The 113-bit ones are
// libquadmath's, or on 64-bit ARM, which has no libquadmath, the C library's
// long double ones: long double is the same 128-bit format there.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#if !defined(__aarch64__)
#include <quadmath.h>
#endif

#include "geometry/sine_cosine.h"

namespace {

#if defined(__aarch64__)
static_assert(LDBL_MANT_DIG == 113);
typedef long double Quad;
Quad QuadSine(Quad x) { return std::sin(x); }
Quad QuadCosine(Quad x) { return std::cos(x); }
#else
__extension__ typedef __float128 Quad;
Quad QuadSine(Quad x) { return sinq(x); }
Quad QuadCosine(Quad x) { return cosq(x); }
#endif

std::string HexFloat(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

// Every angle the rotations can be given and every torus step, then random
// angles, and angles next to multiples of pi/2, where the reduction cancels.
std::vector<double> Inputs() {
    std::vector<double> inputs;
    for (int degrees = -720; degrees <= 720; ++degrees) {
        inputs.push_back(static_cast<float>(degrees * 3.141593 / 180.0));
    }
    for (int steps = 3; steps <= 64; ++steps) {
        const float step = static_cast<float>(6.283186 / steps);
        for (int i = 0; i < steps; ++i) inputs.push_back(i * static_cast<double>(step));
    }
    std::mt19937_64 generator(17);
    std::uniform_real_distribution<double> anywhere(-64.0, 64.0);
    for (int i = 0; i < 50000; ++i) inputs.push_back(anywhere(generator));
    for (int k = -40; k <= 40; ++k) {
        const double multiple = k * 1.5707963267948966;
        for (int ulps = -3; ulps <= 3; ++ulps) inputs.push_back(multiple + ulps * std::ldexp(1.0, -50));
    }
    return inputs;
}

}  // namespace

TEST(SineCosine, RoundCorrectlyWhereTheProgramAndRandomAnglesTakeThem) {
    int wrong = 0;
    for (const double x : Inputs()) {
        const double sine = static_cast<double>(QuadSine(static_cast<Quad>(x)));
        const double cosine = static_cast<double>(QuadCosine(static_cast<Quad>(x)));
        if (SineOf(x) == sine && CosineOf(x) == cosine) continue;
        if (++wrong <= 3) {
            ADD_FAILURE() << "x " << HexFloat(x) << ": sine " << HexFloat(SineOf(x)) << ", rounded " << HexFloat(sine)
                          << "; cosine " << HexFloat(CosineOf(x)) << ", rounded " << HexFloat(cosine);
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(SineCosine, KeepTheSignOfZeroAndPassNaNOn) {
    EXPECT_TRUE(std::signbit(SineOf(-0.0)));
    EXPECT_EQ(SineOf(0.0), 0.0);
    EXPECT_EQ(CosineOf(-0.0), 1.0);
    EXPECT_TRUE(std::isnan(SineOf(NAN)));
    EXPECT_TRUE(std::isnan(CosineOf(INFINITY)));
}
