#include <windows.h>

#include <string>

#include "config/ini_document.h"
#include "test/doctest_main.h"
#include "test/temp_folder_win.h"

namespace {

std::string Utf16Le(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

const std::string kBom = "\xFF\xFE";

WideString FirstValue(const IniDocument& doc) {
    if (doc.Sections.empty() || doc.Sections[0].Entries.empty()) return L"(none)";
    return WideString(doc.Sections[0].Name) + L":" + WideString(doc.Sections[0].Entries[0].Key) + L"=" + WideString(doc.Sections[0].Entries[0].Value);
}

}  // namespace

TEST_CASE("LoadFile reads real files byte for byte") {
    TempFolder dir;
    struct Case {
        const char* what;
        std::string bytes;
        int32_t result;
        const wchar_t* first;
    };
    const Case cases[] = {
        {"with byte-order mark", kBom + Utf16Le(L"[S]\r\nk=v\r\n"), 0, L"S:k=v"},
        {"any two first bytes are skipped", "AB" + Utf16Le(L"[S]\r\nk=v"), 0, L"S:k=v"},
        {"without byte-order mark the first character is lost", Utf16Le(L"[S]\r\nk=v\r\n[T]\r\nx=y"), 0, L"T:x=y"},
        {"odd size: the last byte is ignored", kBom + Utf16Le(L"[S]\r\nk=v") + "Z", 0, L"S:k=v"},
        {"empty file", "", 2, L"(none)"},
        {"one byte", "\xFF", 2, L"(none)"},
        {"only the byte-order mark", kBom, 2, L"(none)"},
        {"three bytes", kBom + "[", 0, L"(none)"},
        {"UTF-8 text finds nothing", "\xEF\xBB\xBF[S]\r\nk=v\r\n", 0, L"(none)"},
        {"LF-only lines find nothing", kBom + Utf16Le(L"[S]\nk=v\n"), 0, L"(none)"},
        {"NUL inside a line", kBom + Utf16Le(std::wstring(L"[S]\r\nk=a") + L'\0' + L"b"), 0, L"S:k=a\0b"},
        {"binary garbage", kBom + std::string("\x00\xD8\x01\x02\xFF\xFF\r\x00\n\x00=\x00", 12), 0, L"(none)"},
    };
    int index = 0;
    for (const Case& c : cases) {
        CAPTURE(c.what);
        const WideString path = dir / (L"case" + std::to_wstring(index++) + L".ini");
        TempFolder::WriteFile(path, c.bytes);
        IniDocument doc;
        doc.AddSection(L"stale");
        CHECK(doc.LoadFile(path, static_cast<uint32_t>(c.bytes.size())) == c.result);
        const WideString expected = c.what == std::string("NUL inside a line") ? WideString(L"S:k=a\0b", 7) : WideString(c.first);
        if (c.result == 0) CHECK(FirstValue(doc) == expected);
    }
}

TEST_CASE("LoadFile failures") {
    TempFolder dir;
    IniDocument doc;
    CHECK(doc.LoadFile(L"", 100) == 0);
    CHECK(doc.LoadFile(dir / L"missing.ini", 100) == 2);
    CHECK(doc.LoadFile(dir.Path(), 100) == 2);  // a folder

    // A file another program holds without sharing cannot be opened.
    const WideString locked = dir / L"locked.ini";
    const std::string bytes = kBom + Utf16Le(L"[S]\r\nk=v");
    TempFolder::WriteFile(locked, bytes);
    HANDLE holder = ::CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    REQUIRE(holder != INVALID_HANDLE_VALUE);
    CHECK(doc.LoadFile(locked, static_cast<uint32_t>(bytes.size())) == 2);
    ::CloseHandle(holder);
    CHECK(doc.LoadFile(locked, static_cast<uint32_t>(bytes.size())) == 0);
}

TEST_CASE("LoadFile reads the size it is given, not more, and copes with a wrong one") {
    TempFolder dir;
    const WideString path = dir / L"sized.ini";
    const std::string bytes = kBom + Utf16Le(L"[S]\r\nk=value\r\n[T]\r\nx=y");
    TempFolder::WriteFile(path, bytes);

    IniDocument doc;
    // Only the bytes up to "[S]\r\nk=va" are read.
    CHECK(doc.LoadFile(path, 2 + 2 * 9) == 0);
    CHECK(FirstValue(doc) == L"S:k=va");
    CHECK(doc.Sections.size() == 1);

    // A size far beyond the file reads what is there.
    CHECK(doc.LoadFile(path, 0xFFFFFFF0u) == 0);
    CHECK(doc.Sections.size() == 2);

    // Sizes below three bytes are refused even for a long file.
    CHECK(doc.LoadFile(path, 2) == 2);
    CHECK(doc.LoadFile(path, 0) == 2);
}

TEST_CASE("LoadFile of a 50 MB configuration") {
    TempFolder dir;
    const WideString path = dir / L"big.ini";
    std::wstring text = L"[S]\r\n";
    const std::wstring line = L"key=" + std::wstring(90, L'v') + L"\r\n";
    while (text.size() * 2 < 50u * 1024 * 1024) text += line;
    text += L"last=1\r\n";
    const std::string bytes = kBom + Utf16Le(text);
    TempFolder::WriteFile(path, bytes);

    IniDocument doc;
    CHECK(doc.LoadFile(path, static_cast<uint32_t>(bytes.size())) == 0);
    REQUIRE(doc.Sections.size() == 1);
    CHECK(doc.Sections[0].Entries.back().Key == L"last");
}
