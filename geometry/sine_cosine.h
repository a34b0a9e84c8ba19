// Sine and cosine rounded correctly, the same on every build. The C libraries
// differ in the last bit: glibc's are correctly rounded on every input the
// program uses, while the WebAssembly build's C library misses on 25 of them.
#pragma once

// Correctly rounded (to nearest) for |radians| up to 2^28; beyond that, and for
// infinities and NaN, the C library's answer. The arithmetic inside must be
// plain double: never x87's wider registers (the build asks for SSE2 on 32-bit
// x86) and never fused multiply-adds.
double SineOf(double radians);
double CosineOf(double radians);
