#pragma once

// Rounding to nearest (ties to even), every floating-point exception masked,
// and 64-bit significands where the unit has an 80-bit format.
void InitFloatingPoint();
