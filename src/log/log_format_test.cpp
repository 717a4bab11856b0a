#include "log/log_format.h"

#include "test/doctest_main.h"

TEST_CASE("log texts") {
    CHECK(FormatLogTimeStamp(2014, 2, 3, 9, 5, 7) == L"2014-02-03 @09:05:07");
    CHECK(FormatLogTimeStamp(1601, 12, 31, 23, 59, 59) == L"1601-12-31 @23:59:59");
    CHECK(FormatLogTimeStamp(30827, 1, 1, 0, 0, 0) == L"30827-01-01 @00:00:00");
    CHECK(WideString(kLogHeader) == L"\r\n<< Vantorel (x86) Log >>\r\n");
    const WideString marker = kLogEndMarker;
    CHECK(marker == WideString(21, L'=') + L"End of Log" + WideString(21, L'=') + L"\r\n");
}
