#include "base/string_table_win.h"

#include "resources/resource.h"
#include "test/doctest_main.h"

// The test program carries the product's string table and, as entry 4000, a
// text of 1500 characters ("0123456789" repeated).
TEST_CASE("string-table texts") {
    CHECK(LoadStringText(IDS_SETUP_TITLE) == L"%s Setup");
    CHECK(LoadStringText(IDS_PREPARING) == L"Preparing...");
    CHECK(LoadStringText(IDS_SEARCHING) == L"Searching for prerequisites...");
    CHECK(LoadStringText(9) == L"");

    const WideString longText = LoadStringText(4000);
    REQUIRE(longText.size() == 1299);
    WideString expected;
    while (expected.size() < 1299) expected += L"0123456789";
    expected.resize(1299);
    CHECK(longText == expected);
}
