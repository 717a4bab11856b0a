#include "app/interboot_store.h"

#include <climits>

#include "test/doctest_main.h"

TEST_CASE("SignedDecimal: the interboot value format") {
    struct Case { int32_t number; const char* text; };
    const Case cases[] = {
        {0, "0"}, {7, "7"}, {3010, "3010"}, {-1, "-1"}, {-1073741819, "-1073741819"},
        {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"}, {1000000, "1000000"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.number);
        CHECK(SignedDecimal(c.number) == c.text);
    }
}
