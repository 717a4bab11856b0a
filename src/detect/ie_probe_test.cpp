#include "detect/ie_probe.h"

#include "test/doctest_main.h"

TEST_CASE("InternetExplorerMajorFromValues") {
    struct Case { bool haveVersion; const wchar_t* version; bool haveIVer; const wchar_t* iver; bool ok; int32_t major; };
    const Case cases[] = {
        {true, L"9.11.9600.16428", false, L"", true, 9},
        {true, L"11.0.9600", true, L"103", true, 11},
        {true, L"6.0", true, L"101", true, 2},      // one "." does not count: IVer tells
        {true, L"6.0", false, L"", false, 0},
        {true, L"", true, L"100", true, 1},
        {false, L"", true, L"102", true, 2},
        {false, L"", true, L"103", true, 3},
        {false, L"", true, L"104", false, 0},
        {false, L"", true, L" 103", false, 0},
        {false, L"", false, L"", false, 0},
        {true, L"..", false, L"", true, 0},         // parses, as the configuration numbers do
        {true, L"x5.1.2", false, L"", true, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.version));
        CAPTURE(std::wstring(c.iver));
        int32_t major = -7;
        CHECK(InternetExplorerMajorFromValues(c.haveVersion, c.version, c.haveIVer, c.iver, major) == c.ok);
        if (c.ok) CHECK(major == c.major);
    }
}
