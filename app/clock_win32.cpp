#include <windows.h>

#include "app/clock.h"

std::uint32_t MillisecondsSinceStart() { return GetTickCount(); }
