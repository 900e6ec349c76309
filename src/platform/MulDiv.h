#pragma once

#include <cstdint>

// MulDiv: a * b / c rounded to the nearest integer; -1 when c is 0 or the
// result does not fit.
int MulDiv(int a, int b, int c);
// The same over 64-bit values, for byte counts of large files.
std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c);
