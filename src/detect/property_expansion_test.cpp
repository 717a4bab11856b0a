#include "detect/property_expansion.h"

#include <map>

#include "test/doctest_main.h"

namespace {

class TableSource : public PropertySource {
public:
    std::map<WideString, WideString> Folders{{L"ProgramFilesFolder", L"C:\\Program Files\\"},
                                             {L"WindowsFolder", L"C:\\windows\\"}};
    std::map<WideString, WideString> Variables{{L"WINDIR", L"C:\\windows"}, {L"P", L"[WindowsFolder]%X%"}};
    std::map<WideString, WideString> Values{{L"HKLM\\Software\\Vendor\\Key\\Path", L"D:\\Vendor"}};
    int Lookups = 0;

    bool FolderProperty(const WideString& name, WideString& folder) override {
        ++Lookups;
        auto it = Folders.find(name);
        if (it == Folders.end()) return false;
        folder = it->second;
        return true;
    }
    WideString EnvironmentValue(const WideString& name) override {
        ++Lookups;
        auto it = Variables.find(name);
        return it == Variables.end() ? WideString() : it->second;
    }
    WideString RegistryValue(const WideString& path) override {
        ++Lookups;
        auto it = Values.find(path);
        return it == Values.end() ? WideString() : it->second;
    }
};

}  // namespace

TEST_CASE("ExpandReferences") {
    struct Case { const wchar_t* text; const wchar_t* expanded; };
    const Case cases[] = {
        {L"", L""},
        {L"plain text", L"plain text"},
        {L"[ProgramFilesFolder]Tools\\setup.exe", L"C:\\Program Files\\Tools\\setup.exe"},
        {L"%WINDIR%\\system32", L"C:\\windows\\system32"},
        {L"%NO_SUCH_VARIABLE%x", L"x"},
        {L"[NoSuchFolder]\\a", L"[NoSuchFolder]\\a"},
        {L"[programfilesfolder]", L"[programfilesfolder]"},  // names are case-sensitive
        {L"!HKLM\\Software\\Vendor\\Key\\Path!\\bin", L"D:\\Vendor\\bin"},
        {L"!HKLM\\Software\\Missing\\Path!x", L"x"},
        // Openings without their closing character: the rest is copied.
        {L"100% sure", L"100% sure"},
        {L"a[b", L"a[b"},
        {L"wow!", L"wow!"},
        {L"!!", L"!!"},
        {L"a!!b", L"a!!b"},
        {L"!!!", L""},         // a one-character name, "!", that is not a value
        {L"%%", L""},          // an empty variable name
        {L"%%%WINDIR%", L"C:\\windows"},  // "%%" is empty, then a reference
        // Adjacent references, and a "]" or "%" that belongs to the first one.
        {L"[WindowsFolder][ProgramFilesFolder]", L"C:\\windows\\C:\\Program Files\\"},
        {L"%WINDIR%%WINDIR%", L"C:\\windowsC:\\windows"},
        // Nested: the first closing character ends the reference.
        {L"[[WindowsFolder]]", L"[[WindowsFolder]]"},
        {L"[a%WINDIR%]", L"[a%WINDIR%]"},
        {L"%a[WindowsFolder]%", L""},
        // A replacement is not scanned again.
        {L"%P%", L"[WindowsFolder]%X%"},
        // A "]" before any "[" is plain text.
        {L"]x[WindowsFolder]", L"]xC:\\windows\\"},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.text));
        TableSource source;
        CHECK(ExpandReferences(c.text, source) == c.expanded);
    }
}

TEST_CASE("ExpandReferences: long texts of openings stay linear and lose nothing") {
    TableSource source;
    const WideString brackets(100000, L'[');
    CHECK(ExpandReferences(brackets, source) == brackets);
    CHECK(source.Lookups == 0);
    WideString many;
    for (int i = 0; i < 20000; ++i) many += L"%WINDIR%";
    CHECK(ExpandReferences(many, source).size() == 20000u * 10u);
}
