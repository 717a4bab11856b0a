#include "detect/version.h"

#include <string>
#include <vector>

#include "test/doctest_main.h"

namespace {

std::wstring Quad(const VersionQuad& v) {
    return std::to_wstring(v.Parts[0]) + L"." + std::to_wstring(v.Parts[1]) + L"." + std::to_wstring(v.Parts[2]) +
           L"." + std::to_wstring(v.Parts[3]);
}

VersionQuad Make(int32_t a, int32_t b, int32_t c, int32_t d) {
    VersionQuad v;
    v.Parts[0] = a;
    v.Parts[1] = b;
    v.Parts[2] = c;
    v.Parts[3] = d;
    return v;
}

}  // namespace

TEST_CASE("ParseVersion") {
    struct Case { std::wstring text; bool ok; const wchar_t* quad; };
    const Case cases[] = {
        {L"1.2.3.4", true, L"1.2.3.4"},
        {L"ver1.2b3", true, L"1.2.3.0"},
        {L"1..2", true, L"1.2.0.0"},
        {L"-1", true, L"1.0.0.0"},
        {L"1.2.3.4.5", true, L"1.2.3.4"},
        {L"1.2", true, L"1.2.0.0"},
        {L"0", true, L"0.0.0.0"},
        {L"", false, L"0.0.0.0"},
        {L"abc", false, L"0.0.0.0"},
        {L"2147483647", true, L"2147483647.0.0.0"},
        {L"2147483648", false, L"0.0.0.0"},
        {L"1.2147483648", false, L"0.0.0.0"},
        {L"99999999999999999999999999999", false, L"0.0.0.0"},
        {L"1.2.3.4.99999999999", true, L"1.2.3.4"},
        {L"0000000000000000000000000007", true, L"7.0.0.0"},
        {L"6.1.7601 Service Pack 1", true, L"6.1.7601.1"},
        {L"\x0661.2", true, L"2.0.0.0"},  // only ASCII digits count
        {L"  10 , 20 ", true, L"10.20.0.0"},
        {std::wstring(5000, L'x') + L"3" + std::wstring(5000, L'.'), true, L"3.0.0.0"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.text);
        VersionQuad v = Make(9, 9, 9, 9);
        CHECK(ParseVersion(c.text, v) == c.ok);
        CHECK(Quad(v) == c.quad);
    }
}

TEST_CASE("CompareVersions and VersionToText") {
    CHECK(CompareVersions(Make(1, 2, 0, 0), ParseVersion(L"1.2.0.0")) == 0);
    CHECK(CompareVersions(Make(1, 2, 0, 1), Make(1, 2, 0, 0)) == 1);
    CHECK(CompareVersions(Make(1, 2, 0, 0), Make(1, 10, 0, 0)) == -1);
    CHECK(CompareVersions(Make(2, 0, 0, 0), Make(1, 99, 99, 99)) == 1);

    struct Case { VersionQuad v; const wchar_t* text; };
    const Case cases[] = {
        {Make(6, 1, 0, 0), L"6.1"},
        {Make(5, 0, 0, 0), L"5.0"},
        {Make(1, 0, 0, 5), L"1.0.0.5"},
        {Make(1, 2, 65535, 65535), L"1.2"},
        {Make(1, 65535, 2, 0), L"1.65535.2"},
        {Make(65535, 65535, 65535, 65535), L"0.0.0.0"},
        {Make(0, 0, 0, 0), L"0.0.0.0"},
        {Make(0, 0, 0, 3), L"0.0.0.3"},
        {Make(7, 0, 0, 0), L"7.0"},
        {Make(2147483647, 1, 2, 3), L"2147483647.1.2.3"},
    };
    for (const Case& c : cases) {
        CAPTURE(Quad(c.v));
        CHECK(VersionToText(c.v) == c.text);
    }
    // A file version 1.2.65535.65535 reads back as 1.2.0.0.
    CHECK(Quad(ParseVersion(VersionToText(Make(1, 2, 65535, 65535)))) == L"1.2.0.0");
}

TEST_CASE("FileVersionText") {
    CHECK(FileVersionText(0x00010002, 0x00030004) == L"1.2.3.4");
    CHECK(FileVersionText(0xFFFFFFFF, 0xFFFFFFFF) == L"65535.65535.65535.65535");
    CHECK(FileVersionText(0, 0) == L"0.0.0.0");
}

TEST_CASE("AcceptableVersionFound") {
    using Found = std::vector<WideString>;
    struct Case { Found found; const wchar_t* min; const wchar_t* max; bool ok; };
    const Case cases[] = {
        {{}, L"", L"", false},
        {{L"anything"}, L"", L"", true},
        {{L"letters"}, L"1", L"", false},
        {{L"2.0"}, L"2", L"", true},
        {{L"1.0"}, L"1.0.1", L"", false},
        {{L"1.0"}, L"", L"1", true},
        {{L"1.0.1"}, L"", L"1", false},
        {{L"5"}, L"0.0.0.0", L"0", true},
        {{L"letters"}, L"0.0.0.0", L"", true},
        {{L"0", L"abc", L"3.5"}, L"3", L"4", true},
        {{L"0", L"abc", L"4.1"}, L"3", L"4", false},
        {{L"1.5", L"3.5"}, L"3", L"4", true},
        {{L"2147483648"}, L"1", L"", false},
        {{L"7"}, L"bogus", L"also bogus", true},
        {{L"7"}, L"2147483648", L"", true},
        {{L"7"}, L"8", L"6", false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.min);
        CAPTURE(c.max);
        CHECK(AcceptableVersionFound(c.found, c.min, c.max) == c.ok);
    }
}

TEST_CASE("FileVersionInRange") {
    const VersionQuad none;
    const VersionQuad unset = Make(65535, 65535, 65535, 65535);
    struct Case { VersionQuad v, min, max; bool ok; };
    const Case cases[] = {
        {Make(1, 0, 0, 0), none, none, true},
        {Make(1, 0, 0, 0), unset, unset, true},
        {none, none, Make(2, 0, 0, 0), true},           // no version, no lower bound
        {none, Make(1, 0, 0, 0), none, false},
        {Make(1, 0, 0, 0), Make(1, 0, 0, 0), Make(1, 0, 0, 0), true},
        {Make(1, 0, 0, 1), Make(1, 0, 0, 0), Make(1, 0, 0, 0), false},
        {Make(0, 9, 0, 0), Make(1, 0, 0, 0), unset, false},
        {Make(65535, 65535, 65535, 65535), Make(1, 0, 0, 0), unset, true},
    };
    for (const Case& c : cases) {
        CAPTURE(Quad(c.v));
        CHECK(FileVersionInRange(c.v, c.min, c.max) == c.ok);
    }
}
