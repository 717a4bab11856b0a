#include "detect/property_expansion.h"

WideString ExpandReferences(const WideString& text, PropertySource& source) {
    WideString result;
    result.reserve(text.size());
    size_t position = 0;
    while (position < text.size()) {
        const size_t open = text.find_first_of(L"[%!", position);
        if (open == WideString::npos) break;
        result.append(text, position, open - position);

        const wchar_t opening = text[open];
        size_t close = WideString::npos;
        switch (opening) {
            // The name of a "!" reference has at least one character, so "!!"
            // opens a reference rather than closing an empty one.
            case L'[': close = text.find(L']', open); break;
            case L'%': close = text.find(L'%', open + 1); break;
            default: close = open + 2 <= text.size() ? text.find(L'!', open + 2) : WideString::npos; break;
        }
        if (close == WideString::npos) {
            position = open;
            break;
        }

        const WideString name = text.substr(open + 1, close - open - 1);
        if (opening == L'[') {
            WideString folder;
            if (source.FolderProperty(name, folder)) {
                result += folder;
            } else {
                result.append(text, open, close - open + 1);
            }
        } else if (opening == L'%') {
            result += source.EnvironmentValue(name);
        } else {
            result += source.RegistryValue(name);
        }
        position = close + 1;
    }
    if (position < text.size()) result.append(text, position, WideString::npos);
    return result;
}
