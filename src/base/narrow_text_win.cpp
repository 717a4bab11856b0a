#include "base/narrow_text_win.h"

#include <windows.h>

#include <vector>

NarrowText ThreadAnsiText(const WideString& text) {
    if (text.empty()) return NarrowText();
    const int units = static_cast<int>(text.size());
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int size = ::WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), units, nullptr, 0, nullptr, nullptr);
    // Code pages such as UTF-8 take no flags and have every character.
    if (size == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        size = ::WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), units, nullptr, 0, nullptr, nullptr);
    }
    if (size <= 0) return NarrowText();
    std::vector<char> bytes(static_cast<size_t>(size));
    size = ::WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), units, bytes.data(), size, nullptr, nullptr);
    return NarrowText(bytes.data(), size > 0 ? static_cast<size_t>(size) : 0);
}
