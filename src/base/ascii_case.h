#pragma once

#include "base/wide_string.h"

// Equal when compared without regard to the case of the letters A to Z. The
// names compared this way (registry roots, "true", "realm") are plain ASCII;
// the C library's locale-dependent folding is not wanted for them.
inline bool EqualsIgnoringAsciiCase(WideView text, WideView name) {
    if (text.size() != name.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t a = text[i];
        wchar_t b = name[i];
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a - L'A' + L'a');
        if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b - L'A' + L'a');
        if (a != b) return false;
    }
    return true;
}
