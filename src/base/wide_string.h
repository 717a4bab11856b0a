#pragma once

#include <string>
#include <string_view>

// The text type of the whole program: a sequence of UTF-16 code units.
// On Windows wchar_t is 16 bits wide; the portable code also builds on
// Linux, where wchar_t is wider, so it never looks at sizeof(wchar_t) and
// never produces a code unit above 0xFFFF.
using WideString = std::wstring;

// A view of part of a WideString, valid while the text it views lives.
using WideView = std::wstring_view;
