#include "app/floating_point.h"

#if defined(_WIN32)
#include <float.h>
#else
#include <fenv.h>
#endif

void InitFloatingPoint() {
#if defined(_WIN32)
    _fpreset();
#if defined(_M_IX86) || defined(__i386__)
    _controlfp(0, 0x30000);  // precision control: 64-bit significands
#endif
#else
    fesetround(FE_TONEAREST);
#if defined(__GLIBC__)
    fedisableexcept(FE_ALL_EXCEPT);
#endif
#endif
}
