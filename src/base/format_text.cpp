#include "base/format_text.h"

namespace {

WideString Fill(const WideString& pattern, const WideString* arguments, size_t count) {
    WideString text;
    text.reserve(pattern.size() + (count > 0 ? arguments[0].size() : 0) + (count > 1 ? arguments[1].size() : 0));
    size_t used = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (c == L'%' && next == L'%') {
            text += L'%';
            ++i;
        } else if (c == L'%' && next == L's' && used < count) {
            text += arguments[used++];
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace

WideString FormatText(const WideString& pattern, const WideString& argument) { return Fill(pattern, &argument, 1); }

WideString FormatText(const WideString& pattern, const WideString& first, const WideString& second) {
    const WideString arguments[] = {first, second};
    return Fill(pattern, arguments, 2);
}
