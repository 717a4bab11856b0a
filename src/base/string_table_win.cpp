#include "base/string_table_win.h"

#include <windows.h>

WideString LoadStringText(uint32_t id) {
    const int kBufferChars = 1300;
    wchar_t buffer[kBufferChars];
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, kBufferChars);
    return length > 0 ? WideString(buffer, static_cast<size_t>(length)) : WideString();
}
