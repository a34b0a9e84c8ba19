#include "geometry/sine_cosine.h"

#include <cmath>
#include <cstdint>

namespace {

// A value as the unevaluated sum hi + lo, about 106 bits: enough that rounding
// hi + lo gives the correctly rounded result except on inputs whose value lies
// within about 2^-100 of a rounding boundary.
struct DoubleDouble {
    double hi, lo;
};

DoubleDouble TwoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

DoubleDouble Normalized(double hi, double lo) { return TwoSum(hi, lo); }

// Dekker's split and exact product, without a fused multiply-add.
DoubleDouble TwoProduct(double a, double b) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const double ta = kSplitter * a;
    const double aHi = ta - (ta - a);
    const double aLo = a - aHi;
    const double tb = kSplitter * b;
    const double bHi = tb - (tb - b);
    const double bLo = b - bHi;
    const double p = a * b;
    return {p, ((aHi * bHi - p) + aHi * bLo + aLo * bHi) + aLo * bLo};
}

DoubleDouble Add(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble s = TwoSum(a.hi, b.hi);
    const DoubleDouble t = TwoSum(a.lo, b.lo);
    const DoubleDouble u = Normalized(s.hi, s.lo + t.hi);
    return Normalized(u.hi, u.lo + t.lo);
}

DoubleDouble Multiply(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble p = TwoProduct(a.hi, b.hi);
    return Normalized(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// Division by a small whole number, which a double holds exactly.
DoubleDouble DivideByWhole(DoubleDouble a, double d) {
    const double q1 = a.hi / d;
    const DoubleDouble back = TwoProduct(q1, d);
    const double remainder = ((a.hi - back.hi) - back.lo) + a.lo;
    return Normalized(q1, remainder / d);
}

DoubleDouble Negated(DoubleDouble a) { return {-a.hi, -a.lo}; }

// pi/2 as three doubles, good to about 2^-160.
constexpr double kHalfPi1 = 1.5707963267948966;
constexpr double kHalfPi2 = 6.123233995736766e-17;
constexpr double kHalfPi3 = -1.4973849048591698e-33;
constexpr double kLargestReduced = 268435456.0;  // 2^28

struct Reduced {
    DoubleDouble r;        // |r| at most a little above pi/4
    std::int32_t quarter;  // radians = r + quarter * pi/2, quarter taken mod 4
};

// Every product k * part is exact, and radians - k * kHalfPi1 loses nothing to
// cancellation, so r keeps its 106 bits however near radians is to a multiple.
Reduced ReduceByHalfPi(double radians) {
    const double k = std::nearbyint(radians * 0.63661977236758134);  // 2/pi
    DoubleDouble r = Add({radians, 0.0}, Negated(TwoProduct(k, kHalfPi1)));
    r = Add(r, Negated(TwoProduct(k, kHalfPi2)));
    r = Add(r, Negated(TwoProduct(k, kHalfPi3)));
    const auto quarter = static_cast<std::int32_t>(static_cast<std::int64_t>(k) & 3);
    return {r, quarter};
}

// The Taylor series from `first` (r for the sine, 1 for the cosine), each term
// the one before times -r^2 / ((n + 1)(n + 2)); stops once the terms no longer
// reach the sum's last bits.
DoubleDouble Series(DoubleDouble r, DoubleDouble first, double n) {
    const DoubleDouble minusSquare = Negated(Multiply(r, r));
    DoubleDouble sum = first;
    DoubleDouble term = first;
    for (; n < 60.0; n += 2.0) {
        term = DivideByWhole(Multiply(term, minusSquare), (n + 1.0) * (n + 2.0));
        sum = Add(sum, term);
        if (std::fabs(term.hi) < std::fabs(sum.hi) * 0x1p-110) break;
    }
    return sum;
}

DoubleDouble SineOfReduced(DoubleDouble r) { return Series(r, r, 1.0); }
DoubleDouble CosineOfReduced(DoubleDouble r) { return Series(r, {1.0, 0.0}, 0.0); }

bool Reducible(double radians) { return std::fabs(radians) <= kLargestReduced; }  // false for NaN

}  // namespace

double SineOf(double radians) {
    if (!Reducible(radians)) return std::sin(radians);
    if (radians == 0.0) return radians;  // keeps the sign of -0
    const auto [r, quarter] = ReduceByHalfPi(radians);
    const DoubleDouble value = quarter % 2 == 0 ? SineOfReduced(r) : CosineOfReduced(r);
    return quarter >= 2 ? -value.hi : value.hi;
}

double CosineOf(double radians) {
    if (!Reducible(radians)) return std::cos(radians);
    const auto [r, quarter] = ReduceByHalfPi(radians);
    const DoubleDouble value = quarter % 2 == 0 ? CosineOfReduced(r) : SineOfReduced(r);
    return quarter == 1 || quarter == 2 ? -value.hi : value.hi;
}
