#include "base/format_text.h"

#include "test/doctest_main.h"

TEST_CASE("string-table patterns are filled with one argument") {
    struct Case {
        const wchar_t* pattern;
        const wchar_t* argument;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"%s Setup", L"Vantorel", L"Vantorel Setup"},
        {L"Downloading %s", L"Runtime 2.0", L"Downloading Runtime 2.0"},
        {L"%s Setup", L"", L" Setup"},
        {L"%s", L"C:\\pkg\\setup.exe", L"C:\\pkg\\setup.exe"},
        // The argument is inserted as it is, never read as a pattern.
        {L"%s Setup", L"100%s %% done", L"100%s %% done Setup"},
        {L"100%% of %s", L"x", L"100% of x"},
        {L"%%s is literal, %s is not", L"y", L"%s is literal, y is not"},
        {L"%s and %s", L"a", L"a and %s"},
        {L"no argument", L"a", L"no argument"},
        {L"%d %", L"a", L"%d %"},
        {L"trailing %", L"a", L"trailing %"},
        {L"", L"a", L""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.pattern);
        CHECK(FormatText(c.pattern, c.argument) == c.expected);
    }
}
