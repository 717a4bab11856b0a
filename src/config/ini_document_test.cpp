#include "config/ini_document.h"

#include <string>
#include <vector>

#include "test/doctest_main.h"

namespace {

// The document flattened to one line per section and entry, so that a case
// states its whole expected result in one string.
std::wstring Dump(const IniDocument& doc) {
    std::wstring out;
    for (const IniSection& section : doc.Sections) {
        out += L"[" + WideString(section.Name) + L"]";
        for (const IniEntry& entry : section.Entries) out += L"{" + WideString(entry.Key) + L"=" + WideString(entry.Value) + L"}";
        out += L"\n";
    }
    return out;
}

std::vector<unsigned char> Utf16LeBytes(const std::wstring& text) {
    std::vector<unsigned char> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return bytes;
}

}  // namespace

TEST_CASE("lines, headers and entries parse as the format says") {
    struct Case {
        const char* what;
        std::wstring text;
        std::wstring dump;
    };
    const std::wstring nul(1, L'\0');
    const Case cases[] = {
        {"empty text", L"", L""},
        {"only line breaks", L"\r\n\r\n", L""},
        {"simple", L"[S]\r\na=1\r\nb=2\r\n", L"[S]{a=1}{b=2}\n"},
        {"no final line break", L"[S]\r\na=1", L"[S]{a=1}\n"},
        {"blank lines are skipped", L"[S]\r\n\r\n\r\na=1\r\n", L"[S]{a=1}\n"},
        {"lines before the first header are ignored", L"a=1\r\n[S]\r\nb=2", L"[S]{b=2}\n"},
        {"LF alone does not end a line", L"[S]\na=1\n", L""},
        {"LF-only file whose last visible character is ]", L"[S]\nk=v\n[T]", L"[S]\nk=v\n[T]\n"},
        {"CR alone stays in the value and is trimmed", L"[S]\r\na=1\r", L"[S]{a=1}\n"},
        {"lone CR inside a line", L"[S]\r\na=x\ry\r\n", L"[S]{a=x\ry}\n"},
        {"blanks around brackets are not part of the name", L"  \t[Sec]  \r\nk=v", L"[Sec]{k=v}\n"},
        {"blanks inside brackets are", L"[ Sec ]\r\nk=v", L"[ Sec ]{k=v}\n"},
        {"brackets inside the name", L"[A]B]\r\nk=v", L"[A]B]{k=v}\n"},
        {"empty name", L"[]\r\nk=v", L"[]{k=v}\n"},
        {"[ without ] is an entry line", L"[S]\r\n[x=1\r\n", L"[S]{[x=1}\n"},
        {"lone [ is an entry line without =", L"[S]\r\n[\r\n", L"[S]\n"},
        {"key and value are trimmed", L"[S]\r\n  Key \t=  Value  \r\n", L"[S]{Key=Value}\n"},
        {"empty value", L"[S]\r\nKey=\r\n", L"[S]{Key=}\n"},
        {"empty key", L"[S]\r\n=x\r\n", L"[S]{=x}\n"},
        {"only the first = splits", L"[S]\r\na=b=c\r\n", L"[S]{a=b=c}\n"},
        {"no = drops the line", L"[S]\r\njust text\r\n", L"[S]\n"},
        {"no comment syntax", L"[S]\r\n;c=1\r\n; note\r\n", L"[S]{;c=1}\n"},
        {"quotes and backslashes are kept", L"[S]\r\np=\"C:\\a b\\\"\r\n", L"[S]{p=\"C:\\a b\\\"}\n"},
        {"duplicates are kept", L"[S]\r\na=1\r\na=2\r\n[S]\r\na=3", L"[S]{a=1}{a=2}\n[S]{a=3}\n"},
        {"a leading byte-order mark is dropped", L"\xFEFF[S]\r\na=1", L"[S]{a=1}\n"},
        {"a byte-order mark later is text", L"[S]\r\n\xFEFF" L"a=1", L"[S]{\xFEFF" L"a=1}\n"},
        {"NUL characters are ordinary text", L"[S" + nul + L"]\r\na" + nul + L"=1",
         L"[S" + nul + L"]{a" + nul + L"=1}\n"},
        {"non-ASCII white space is trimmed from keys and values",
         L"[S]\r\n\x3000k\xA0=\x2003v\x2029\r\n", L"[S]{k=v}\n"},
        {"non-ASCII white space does not surround a header", L"\xA0[S]", L""},
        {"control characters do surround a header", L"\x01[S]\x1F\r\nk=v", L"[S]{k=v}\n"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        IniDocument doc;
        CHECK(doc.Parse(c.text) == false);
        CHECK(Dump(doc) == c.dump);
    }
}

TEST_CASE("lookups are exact and the first of equal names wins") {
    IniDocument doc;
    doc.Parse(L"[GeneralOptions]\r\nKey=first\r\nKey=second\r\nkey=lower\r\n"
              L"[GeneralOptions]\r\nOther=hidden\r\n[generaloptions]\r\nKey=case\r\n");

    const IniSection* section = doc.FindSection(L"GeneralOptions");
    REQUIRE(section != nullptr);
    REQUIRE(section->FindEntry(L"Key") != nullptr);
    CHECK(section->FindEntry(L"Key")->Value == L"first");
    CHECK(section->FindEntry(L"key")->Value == L"lower");
    CHECK(section->FindEntry(L"KEY") == nullptr);
    CHECK(doc.FindSection(L"GENERALOPTIONS") == nullptr);
    CHECK(doc.FindSection(L"generaloptions")->FindEntry(L"Key")->Value == L"case");

    WideString value = L"untouched";
    doc.GetValue(L"GeneralOptions", L"Other", value);  // under the second header
    CHECK(value == L"untouched");
    doc.GetValue(L"Missing", L"Key", value);
    CHECK(value == L"untouched");
    doc.GetValue(L"GeneralOptions", L"Key", value);
    CHECK(value == L"first");

    std::vector<WideString> names{L"stale"};
    doc.GetSectionNames(names);
    CHECK(names == std::vector<WideString>{L"GeneralOptions", L"GeneralOptions", L"generaloptions"});
}

TEST_CASE("AddValue appends to the first section of that name or makes one") {
    IniDocument doc;
    doc.Parse(L"[A]\r\nk=1\r\n[A]\r\n");
    doc.AddValue(L"A", L"k", L"2");
    doc.AddValue(L"B", L"x", L"y");
    doc.AddSection(L"A");
    CHECK(Dump(doc) == L"[A]{k=1}{k=2}\n[A]\n[B]{x=y}\n[A]\n");
}

TEST_CASE("Parse replaces what an earlier parse found") {
    IniDocument doc;
    doc.Parse(L"[A]\r\nk=1");
    doc.Parse(L"[B]\r\nk=2");
    CHECK(Dump(doc) == L"[B]{k=2}\n");
}

TEST_CASE("bytes become little-endian code units and an odd byte is ignored") {
    const std::vector<unsigned char> bytes = Utf16LeBytes(L"[S]\r\nk=\x20AC\xD83D\xDE00");
    IniDocument doc;
    doc.ParseBytes(bytes.data(), bytes.size());
    CHECK(Dump(doc) == L"[S]{k=\x20AC\xD83D\xDE00}\n");

    std::vector<unsigned char> odd = Utf16LeBytes(L"[S]\r\nk=v");
    odd.push_back(0x41);
    doc.ParseBytes(odd.data(), odd.size());
    CHECK(Dump(doc) == L"[S]{k=v}\n");

    // UTF-8 taken as UTF-16 pairs its bytes into unrelated code units: no
    // header survives, so nothing is found.
    const std::string utf8 = "[GeneralOptions]\r\nOptions=q\r\n";
    doc.ParseBytes(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size());
    CHECK(doc.Sections.empty());
}

TEST_CASE("large inputs parse in one pass") {
    // A line of several megabytes, then a normal line after it.
    std::wstring text = L"[S]\r\nbig=" + std::wstring(4 * 1024 * 1024, L'x') + L"\r\nk=v\r\n";
    IniDocument doc;
    doc.Parse(text);
    REQUIRE(doc.Sections.size() == 1);
    REQUIRE(doc.Sections[0].Entries.size() == 2);
    CHECK(doc.Sections[0].Entries[0].Value.size() == 4 * 1024 * 1024);
    CHECK(doc.Sections[0].Entries[1].Key == L"k");

    // Many sections and entries.
    std::wstring many;
    for (int i = 0; i < 20000; ++i) many += L"[S" + std::to_wstring(i) + L"]\r\nk=" + std::to_wstring(i) + L"\r\n";
    doc.Parse(many);
    REQUIRE(doc.Sections.size() == 20000);
    CHECK(doc.Sections[19999].Entries[0].Value == L"19999");
}

TEST_CASE("white space is the Windows C library's") {
    const unsigned long spaces[] = {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0xA0, 0x1680, 0x2000, 0x200A,
                                    0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (unsigned long c : spaces) {
        CAPTURE(c);
        CHECK(IsIniWhiteSpace(static_cast<wchar_t>(c)));
    }
    const unsigned long others[] = {0x00, 0x08, 0x0E, 0x1F, 0x21, 0x85, 0x200B, 0xFEFF, 0xFFFF};
    for (unsigned long c : others) {
        CAPTURE(c);
        CHECK_FALSE(IsIniWhiteSpace(static_cast<wchar_t>(c)));
    }
}

TEST_CASE("entries stay valid when the document grows and moves") {
    IniDocument doc;
    doc.Parse(L"[A]\r\nk=v\r\n[B]\r\ns=x\r\n");  // short texts: kept inside their string objects
    for (int i = 0; i < 1000; ++i) doc.AddValue(L"A", L"k" + std::to_wstring(i), L"v" + std::to_wstring(i));
    IniDocument moved(std::move(doc));
    REQUIRE(moved.Sections[0].Entries.size() == 1001);
    CHECK(moved.Sections[0].Entries[0].Key == L"k");
    CHECK(moved.Sections[0].Entries[1000].Key == L"k999");
    CHECK(moved.Sections[0].Entries[1000].Value == L"v999");
    IniDocument assigned;
    assigned.Parse(L"[C]\r\nc=1\r\n");
    assigned = std::move(moved);
    CHECK(assigned.Sections[1].Entries[0].Value == L"x");
    WideString value;
    assigned.GetValue(L"A", L"k500", value);
    CHECK(value == L"v500");
    // A new parse replaces everything, the texts included.
    assigned.Parse(L"[D]\r\nd=2\r\n");
    REQUIRE(assigned.Sections.size() == 1);
    CHECK(assigned.Sections[0].Entries[0].Value == L"2");
}
