// Sine and cosine rounded correctly, the same on every build. The C libraries
// differ in the last bit: glibc's are correctly rounded on every input the
// program uses, while the WebAssembly build's C library misses on 25 of them.
#pragma once

// Correctly rounded (to nearest) for |radians| up to 2^28; beyond that, and for
// infinities and NaN, the C library's answer.
double SineOf(double radians);
double CosineOf(double radians);
