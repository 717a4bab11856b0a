#include "fs/paths.h"

#include <vector>

#include "test/doctest_main.h"

using Parts = std::vector<WideString>;

TEST_CASE("AppendBackslash, ParentFolder, ReplaceExtension, SanitizeFileName") {
    struct AppendCase { const wchar_t* in; const wchar_t* out; };
    for (const AppendCase& c : {AppendCase{L"", L""}, AppendCase{L"C:", L"C:\\"}, AppendCase{L"C:\\", L"C:\\"},
                                AppendCase{L"C:\\a", L"C:\\a\\"}, AppendCase{L"\\", L"\\"}}) {
        CAPTURE(c.in);
        WideString path = c.in;
        AppendBackslash(path);
        CHECK(path == c.out);
    }

    struct ParentCase { const wchar_t* in; const wchar_t* out; };
    for (const ParentCase& c : {ParentCase{L"setup.exe", L""}, ParentCase{L"C:\\a\\b.exe", L"C:\\a"},
                                ParentCase{L"C:\\a\\", L"C:\\a"}, ParentCase{L"\\x", L""}, ParentCase{L"", L""},
                                ParentCase{L"\\\\server\\share", L"\\\\server"}}) {
        CAPTURE(c.in);
        CHECK(ParentFolder(c.in) == c.out);
    }

    struct ExtCase { const wchar_t* in; const wchar_t* ext; const wchar_t* out; };
    for (const ExtCase& c : {ExtCase{L"C:\\dl.old\\file", L".tmp", L"C:\\dl.tmp"},
                             ExtCase{L"C:\\dl\\file.exe", L".part", L"C:\\dl\\file.part"},
                             ExtCase{L"C:\\dl\\file", L".tmp", L"C:\\dl\\file"},
                             ExtCase{L"a.b.c", L"", L"a.b"}, ExtCase{L".", L".x", L".x"}}) {
        CAPTURE(c.in);
        WideString path = c.in;
        ReplaceExtension(path, c.ext);
        CHECK(path == c.out);
    }

    WideString name = L"a<b>c:d\"e/f\\g|h?i*j.k l";
    SanitizeFileName(name);
    CHECK(name == L"a_b_c_d_e_f_g_h_i_j.k l");
}

TEST_CASE("path kinds") {
    struct Case { const wchar_t* path; bool unc, longPrefix, absolute, lookup; };
    const Case cases[] = {
        {L"", false, false, false, false},
        {L"\\", false, false, false, true},
        {L"\\\\", false, false, true, true},
        {L"\\\\\\", true, false, true, true},
        {L"\\\\server\\share", true, false, true, true},
        {L"\\\\?\\C:\\x", false, true, true, true},
        {L"\\\\?", false, false, true, true},
        {L"\\\\.\\pipe", true, false, true, true},
        {L"C:", false, false, true, true},
        {L"C:\\x", false, false, true, true},
        {L"C", false, false, false, false},
        {L"dir\\file", false, false, false, false},
        {L"x:y", false, false, true, true},
        {L"ab:c", false, false, false, true},
    };
    for (const Case& c : cases) {
        CAPTURE(c.path);
        CHECK(IsUncPath(c.path) == c.unc);
        CHECK(HasLongPathPrefix(c.path) == c.longPrefix);
        CHECK(IsAbsolutePath(c.path) == c.absolute);
        CHECK(IsLookupCandidate(c.path) == c.lookup);
    }
    CHECK(SkipLongPathPrefix(L"\\\\?\\C:\\x") == L"C:\\x");
    CHECK(SkipLongPathPrefix(L"C:\\x") == L"C:\\x");
    CHECK(SkipLongPathPrefix(L"\\\\?\\") == L"");
}

TEST_CASE("SplitPath") {
    struct Case { const wchar_t* path; Parts parts; };
    const Case cases[] = {
        {L"C:\\a\\b\\", {L"C:", L"a", L"b"}},
        {L"C:\\a\\b", {L"C:", L"a", L"b"}},
        {L"\\\\server\\share\\dir", {L"\\\\server", L"share", L"dir"}},
        {L"\\\\?\\C:\\dir", {L"\\\\?\\C:", L"dir"}},
        {L"\\\\?\\UNC\\server\\share", {L"\\\\?\\UNC", L"server", L"share"}},
        {L"C:\\a\\\\b", {L"C:", L"a", L"", L"b"}},
        {L"C:\\ a \\", {L"C:", L" a "}},
        {L"\\a\\b", {L"a", L"b"}},
        {L"C:", {L"C:"}},
        {L"file.txt", {L"file.txt"}},
        {L"", {}},
        {L"\\", {}},
        {L"\\\\\\\\", {L"\\\\", L""}},
        {L"\\\\server", {L"\\\\server"}},
        {L"\\\\?\\", {L"\\\\?\\"}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.path);
        CHECK(SplitPath(c.path) == c.parts);
    }
}

TEST_CASE("NormalizePath") {
    struct Case { const wchar_t* path; const wchar_t* normal; };
    const Case cases[] = {
        {L"C:\\a\\..\\b", L"C:\\a\\b"},
        {L"C:\\dir. \\file", L"C:\\dir\\file"},
        {L"C:\\a\\.\\b\\", L"C:\\a\\b"},
        {L"C:\\a\\\\b", L"C:\\a\\b"},
        {L"[TempFolder]\\sub", L"[TempFolder]sub"},
        {L"[ProgramFilesFolder]\\App\\x. ", L"[ProgramFilesFolder]App\\x"},
        {L"\\a\\b", L"a\\b"},
        {L"\\\\server\\share\\dir\\", L"\\\\server\\share\\dir"},
        {L"\\\\?\\C:\\dir", L"\\\\?\\C:\\dir"},
        {L"", L""},
        {L"\\\\\\\\", L"\\\\"},
        {L"\\\\\\", L"\\\\"},
        {L"...", L""},
        {L"C:\\...\\x", L"C:\\x"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.path);
        CHECK(NormalizePath(c.path) == c.normal);
    }
}

TEST_CASE("long paths are handled whole") {
    WideString deep = L"C:";
    for (int i = 0; i < 100; ++i) deep += L"\\folder" + std::to_wstring(i);
    REQUIRE(deep.size() > 260);
    const Parts parts = SplitPath(deep);
    REQUIRE(parts.size() == 101);
    CHECK(parts[100] == L"folder99");
    CHECK(NormalizePath(deep) == deep);
    CHECK(ParentFolder(deep + L"\\f.txt") == deep);
}
