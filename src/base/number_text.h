#pragma once

#include <cstdint>

#include "base/wide_string.h"

// Decimal digits without the C library's printf family, which would link a
// complete formatter (with floating point) into the executable.
WideString DecimalText(int64_t value);
WideString UnsignedText(uint64_t value);
// At least `width` digits, padded with zeros on the left.
WideString ZeroPadded(uint64_t value, int width);
// Lower-case hexadecimal digits, at least `width` of them.
WideString HexPadded(uint64_t value, int width);
