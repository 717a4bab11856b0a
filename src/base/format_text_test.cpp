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

TEST_CASE("string-table patterns with two arguments take them in order") {
    const wchar_t kServer[] = L"The server %s at %s requires a username and password. Please enter them below.";
    CHECK(FormatText(kServer, L"localhost", L"Files") ==
          L"The server localhost at Files requires a username and password. Please enter them below.");
    // No realm: nothing between "at" and "requires".
    CHECK(FormatText(kServer, L"h", L"") == L"The server h at  requires a username and password. Please enter them below.");
    // Arguments are never read as patterns; a third "%s" stays.
    CHECK(FormatText(L"%s/%s/%s", L"%s", L"100%%") == L"%s/100%%/%s");
    CHECK(FormatText(L"%s only", L"a", L"b") == L"a only");
    CHECK(FormatText(L"", L"a", L"b") == L"");
}
