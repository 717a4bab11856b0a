#include "base/number_text.h"

#include "test/doctest_main.h"

TEST_CASE("decimal texts") {
    CHECK(DecimalText(0) == L"0");
    CHECK(DecimalText(42) == L"42");
    CHECK(DecimalText(-1) == L"-1");
    CHECK(DecimalText(INT64_MIN) == L"-9223372036854775808");
    CHECK(DecimalText(INT64_MAX) == L"9223372036854775807");
    CHECK(UnsignedText(UINT64_MAX) == L"18446744073709551615");
    CHECK(UnsignedText(4294967295u) == L"4294967295");
    CHECK(ZeroPadded(7, 2) == L"07");
    CHECK(ZeroPadded(2014, 4) == L"2014");
    CHECK(ZeroPadded(30827, 4) == L"30827");
    CHECK(ZeroPadded(0, 3) == L"000");
}

TEST_CASE("hexadecimal texts") {
    // As version-resource block names spell language and code page.
    CHECK(HexPadded(0x0409, 4) == L"0409");
    CHECK(HexPadded(0x04b0, 4) == L"04b0");
    CHECK(HexPadded(0x04E2, 4) == L"04e2");
    CHECK(HexPadded(0, 4) == L"0000");
    CHECK(HexPadded(0xFFFF, 4) == L"ffff");
    CHECK(HexPadded(0x12345, 4) == L"12345");
    CHECK(HexPadded(UINT64_MAX, 1) == L"ffffffffffffffff");
}
