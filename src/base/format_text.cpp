#include "base/format_text.h"

WideString FormatText(const WideString& pattern, const WideString& argument) {
    WideString text;
    text.reserve(pattern.size() + argument.size());
    bool substituted = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (c == L'%' && next == L'%') {
            text += L'%';
            ++i;
        } else if (c == L'%' && next == L's' && !substituted) {
            text += argument;
            substituted = true;
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}
