#pragma once

#include <cstdint>

#include "base/wide_string.h"

// A text of the executable's string table. Texts are read into a buffer of
// 1300 characters, so a longer one comes back cut at 1299; a missing entry
// gives an empty text.
WideString LoadStringText(uint32_t id);
