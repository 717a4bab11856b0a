#include "log/log_format.h"

#include <cstdio>

const wchar_t kLogHeader[] = L"\r\n<< Vantorel (x86) Log >>\r\n";
const wchar_t kLogEndMarker[] = L"=====================End of Log=====================\r\n";

WideString FormatLogTimeStamp(int year, int month, int day, int hour, int minute, int second) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d @%02d:%02d:%02d", year, month, day, hour, minute, second);
    WideString stamp;
    for (const char* c = text; *c; ++c) stamp += static_cast<wchar_t>(*c);
    return stamp;
}
