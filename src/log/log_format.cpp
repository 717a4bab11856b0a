#include "log/log_format.h"

#include "base/number_text.h"


const wchar_t kLogHeader[] = L"\r\n<< Vantorel (x86) Log >>\r\n";
const wchar_t kLogEndMarker[] = L"=====================End of Log=====================\r\n";

WideString FormatLogTimeStamp(int year, int month, int day, int hour, int minute, int second) {
    // "%04d-%02d-%02d @%02d:%02d:%02d"; SYSTEMTIME fields are never negative.
    return ZeroPadded(year, 4) + L"-" + ZeroPadded(month, 2) + L"-" + ZeroPadded(day, 2) + L" @" +
           ZeroPadded(hour, 2) + L":" + ZeroPadded(minute, 2) + L":" + ZeroPadded(second, 2);
}
