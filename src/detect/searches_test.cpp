#include "detect/searches.h"

#include <map>
#include <set>

#include "test/doctest_main.h"

namespace {

WideString KeyText(const RegistryKeyPath& key) {
    static const wchar_t* roots[] = {L"HKLM", L"HKCU", L"HKCR", L"HKCC", L"HKU"};
    return WideString(roots[key.Root]) + L"\\" + key.SubKey;
}

struct FakeValue {
    bool Dword = false;
    WideString Text;  // REG_SZ text, or the data as UTF-16 for other types
    uint32_t Number = 0;
    bool Typed = true;  // false: a type that ValueText rejects (REG_BINARY...)
};

// A small machine: keys, values and files as tables; every call recorded
// where a test needs to see what was asked.
class FakeMachine : public SearchMachine {
public:
    std::set<WideString> Keys;                                  // "HKLM\Software\A"
    std::map<WideString, std::vector<WideString>> Subkeys;      // key -> names
    std::map<WideString, FakeValue> Values;                     // "HKLM\Software\A" + "|" + name
    std::set<WideString> Keys64;                                // seen only in the 64-bit view
    std::vector<WideString> Drives{L"C:\\", L"D:\\"};
    std::map<WideString, WideString> Files;                     // path -> version text
    std::map<WideString, WideString> Products;                  // code -> VersionString
    std::map<WideString, std::vector<WideString>> Related;      // upgrade code -> products
    std::set<WideString> Components;
    std::map<WideString, uint32_t> Programs;                    // path -> exit code
    std::set<WideString> Documents;                             // opened by a running program: no exit code
    std::vector<WideString> Looked;                             // AnyFileMatches calls
    std::vector<WideString> Ran;                                // program + "|" + arguments
    int RedirectionDepth = 0;
    bool RedirectionWasOff = false;

    bool Has(const RegistryKeyPath& key, bool view64) {
        const WideString k = KeyText(key);
        return view64 ? Keys64.count(k) || Keys.count(k) : Keys.count(k) != 0;
    }
    bool KeyOpens(const RegistryKeyPath& key, bool view64) override { return Has(key, view64); }
    bool SubkeyNames(const RegistryKeyPath& key, bool view64, std::vector<WideString>& names) override {
        if (!Has(key, view64)) return false;
        for (const WideString& n : Subkeys[KeyText(key)]) names.push_back(n);
        return true;
    }
    const FakeValue* Find(const RegistryKeyPath& key, const WideString& name, bool view64) {
        if (!Has(key, view64)) return nullptr;
        auto it = Values.find(KeyText(key) + L"|" + name);
        return it == Values.end() ? nullptr : &it->second;
    }
    bool ValueData(const RegistryKeyPath& key, const WideString& name, bool view64, WideString& text) override {
        const FakeValue* v = Find(key, name, view64);
        if (!v) return false;
        text = v->Text;
        return true;
    }
    bool ValueExists(const RegistryKeyPath& key, const WideString& name, bool view64) override {
        return Find(key, name, view64) != nullptr;
    }
    bool ValueText(const RegistryKeyPath& key, const WideString& name, bool view64, WideString& text) override {
        const FakeValue* v = Find(key, name, view64);
        if (!v || !v->Typed) return false;
        text = v->Dword ? std::to_wstring(v->Number) : v->Text;
        return true;
    }
    std::vector<WideString> FixedDrives() override { return Drives; }
    bool AnyFileMatches(const WideString& path) override {
        Looked.push_back(path);
        return Files.count(path) != 0;
    }
    WideString FileVersion(const WideString& path) override {
        auto it = Files.find(path);
        return it == Files.end() ? L"0.0.0.0" : it->second;
    }
    std::vector<WideString> Subfolders(const WideString& folder) override {
        // Folders are the parents of the known files, one level below `folder`.
        std::vector<WideString> result;
        for (const auto& f : Files) {
            if (f.first.compare(0, folder.size(), folder) != 0) continue;
            const WideString rest = f.first.substr(folder.size());
            const size_t slash = rest.find(L'\\');
            if (slash == WideString::npos) continue;
            const WideString name = rest.substr(0, slash);
            bool seen = false;
            for (const WideString& r : result) seen = seen || r == name;
            if (!seen) result.push_back(name);
        }
        return result;
    }
    void DisableRedirection() override {
        ++RedirectionDepth;
        RedirectionWasOff = true;
    }
    void RestoreRedirection() override { --RedirectionDepth; }
    bool ProductVersion(const WideString& code, WideString& version) override {
        auto it = Products.find(code);
        if (it == Products.end()) return false;
        version = it->second;
        return true;
    }
    std::vector<WideString> RelatedProducts(const WideString& code) override { return Related[code]; }
    bool ComponentInstalled(const WideString& code) override { return Components.count(code) != 0; }
    WideString ExpandReferences(const WideString& text) override {
        WideString out = text;
        const WideString ref = L"[ProgramFilesFolder]";
        const size_t at = out.find(ref);
        if (at != WideString::npos) out.replace(at, ref.size(), L"C:\\Program Files\\");
        return out;
    }
    WideString PackageFilePath(const WideString& name) override {
        return name.empty() ? WideString() : L"C:\\pkg\\" + name;
    }
    bool RunProgram(const WideString& program, const WideString& arguments, bool hidden,
                    uint32_t& exitCode) override {
        Ran.push_back(program + L"|" + arguments + (hidden ? L"|hidden" : L""));
        if (Documents.count(program)) return true;
        auto it = Programs.find(program);
        if (it == Programs.end()) return false;
        exitCode = it->second;
        return true;
    }
};

PrereqSearch Search(int32_t type, const WideString& text, const WideString& verMin = L"",
                    const WideString& verMax = L"", const WideString& ref = L"") {
    PrereqSearch s;
    s.SearchType = type;
    s.SearchString = text;
    s.VerMin = verMin;
    s.VerMax = verMax;
    s.RefContent = ref;
    return s;
}

}  // namespace

TEST_CASE("RefContentMatches: every operator") {
    struct Case { const wchar_t* ref; const wchar_t* value; bool matches; };
    const Case cases[] = {
        {L"Cbc", L"abcd", true},   {L"Cxy", L"abcd", false},  {L"C", L"abc", true},
        {L"Xxy", L"abcd", true},   {L"Xbc", L"abcd", false},
        {L"Sab", L"abcd", true},   {L"Sbc", L"abcd", false},  {L"S", L"", true},
        {L"Ecd", L"abcd", true},   {L"Eabcde", L"abcd", false}, {L"E", L"x", true},
        {L"Mabc", L"abc", true},   {L"MABC", L"abc", false},  {L"M", L"", true}, {L"M", L"x", false},
        {L"Dabc", L"abd", true},   {L"Dabc", L"abc", false},
        {L"G12", L"13", true},     {L"G12", L"12", false},    {L"G12", L"1.3", false},
        {L"G", L"1", true},        {L"G0", L"", false},       {L"G-1", L"5", false},
        {L"L12", L"11", true},     {L"L12", L"12", false},    {L"L1", L"", true},
        // Thirty digits wrap around the way every configuration number does.
        {L"G1", L"4294967297000000000000000000", false},
        {L"", L"abc", false},      {L"Zabc", L"abc", false},  {L"cbc", L"abc", false},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.ref));
        CAPTURE(std::wstring(c.value));
        CHECK(RefContentMatches(c.ref, c.value) == c.matches);
    }
}

TEST_CASE("Registry searches") {
    FakeMachine m;
    m.Keys = {L"HKLM\\Software\\A", L"HKLM\\Software\\Empty", L"HKU\\.DEFAULT\\Software", L"HKCU\\V"};
    m.Subkeys[L"HKLM\\Software\\A"] = {L"1.0", L"2.5", L"notes"};
    m.Values[L"HKLM\\Software\\A|Version"] = {false, L"8.0.50727"};
    m.Values[L"HKLM\\Software\\A|"] = {false, L"default"};
    m.Values[L"HKLM\\Software\\A|Empty"] = {false, L""};
    m.Values[L"HKLM\\Software\\A|Count"] = {true, L"\x000d", 13};
    m.Values[L"HKLM\\Software\\A|Blob"] = {false, L"4.0", 0, false};
    m.Values[L"HKCU\\V|Major"] = {true, L"", 12};

    struct Case { PrereqSearch search; bool matched; size_t found; };
    const Case cases[] = {
        // Type 1: subkey names as versions.
        {Search(1, L"HKLM\\Software\\A", L"2.0"), true, 3},
        {Search(1, L"HKLM\\Software\\A", L"3.0"), false, 3},
        {Search(1, L"HKLM\\Software\\Empty"), false, 0},  // nothing found never matches
        {Search(1, L"HKLM\\Software\\Missing"), false, 0},
        // Type 2: the data as text.
        {Search(2, L"HKLM\\Software\\A\\Version", L"8.0"), true, 1},
        {Search(2, L"hklm\\Software\\A\\Version", L"8.1"), false, 1},
        {Search(2, L"HKLM\\Software\\A\\Version", L"", L"8.0.50727"), true, 1},
        {Search(2, L"HKLM\\Software\\A\\"), true, 1},  // the default value
        {Search(2, L"HKLM\\Software\\A\\Empty"), true, 1},  // present, empty
        {Search(2, L"HKLM\\Software\\A\\Nope"), false, 0},
        {Search(2, L"Version"), false, 0},
        // Types 5 and 6: whether the key opens.
        {Search(5, L"HKLM\\Software\\A"), true, 0},
        {Search(5, L"HKLM\\Software\\B"), false, 0},
        {Search(5, L"HKLM"), false, 0},
        {Search(6, L"HKLM"), true, 0},
        {Search(6, L"HKLM\\Software\\A"), false, 0},
        {Search(5, L"HKU\\.DEFAULT\\Software"), true, 0},
        {Search(5, L"Users\\.DEFAULT\\Software"), true, 0},  // any other root is HKEY_USERS
        {Search(5, L""), false, 0},
        {Search(5, L"\\"), false, 0},
        // Types 7 and 8: whether the value exists.
        {Search(7, L"HKLM\\Software\\A\\Version"), true, 0},
        {Search(7, L"HKLM\\Software\\A\\"), true, 0},
        {Search(7, L"HKLM\\Software\\A\\Nope"), false, 0},
        {Search(7, L"HKLM\\Software\\Nope\\Version"), false, 0},
        {Search(7, L"Version"), false, 0},
        {Search(8, L"Version"), true, 0},
        {Search(8, L"HKLM\\Software\\A\\Nope"), true, 0},
        {Search(8, L"HKLM\\Software\\A\\Version"), false, 0},
        // Type 9: typed text, compared.
        {Search(9, L"HKLM\\Software\\A\\Count", L"", L"", L"G12"), true, 0},
        {Search(9, L"HKCU\\V\\Major", L"", L"", L"G12"), false, 0},
        {Search(9, L"HKLM\\Software\\A\\Version", L"", L"", L"S8.0"), true, 0},
        {Search(9, L"HKLM\\Software\\A\\Version", L"", L"", L"G1"), false, 0},
        {Search(9, L"HKLM\\Software\\A\\Empty", L"", L"", L"M"), true, 0},
        {Search(9, L"HKLM\\Software\\A\\Blob", L"", L"", L"C"), false, 0},  // unreadable type
        {Search(9, L"HKLM\\Software\\A\\Nope", L"", L"", L"X1"), false, 0},
        {Search(9, L"HKLM\\Software\\A\\Version", L"", L"", L""), false, 0},
        {Search(9, L"Count", L"", L"", L"C"), false, 0},
        // Unknown types match without looking at anything.
        {Search(12, L""), true, 0},
        {Search(-1, L"whatever"), true, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(c.search.SearchType);
        CAPTURE(c.search.SearchString);
        const SearchResult r = EvaluateSearch(c.search, false, m);
        CHECK(r.Matched == c.matched);
        CHECK(r.FoundValues.size() == c.found);
    }
    CHECK(EvaluateSearch(Search(9, L"HKLM\\Software\\A\\Count", L"", L"", L"M13"), false, m).Value == L"13");
}

TEST_CASE("Registry searches: the 64-bit view only when asked") {
    FakeMachine m;
    m.Keys64 = {L"HKLM\\Software\\Only64"};
    CHECK_FALSE(EvaluateSearch(Search(5, L"HKLM\\Software\\Only64"), false, m).Matched);
    CHECK(EvaluateSearch(Search(5, L"HKLM\\Software\\Only64"), true, m).Matched);
    CHECK(EvaluateSearch(Search(6, L"HKLM\\Software\\Only64"), false, m).Matched);
}

TEST_CASE("Installer searches") {
    FakeMachine m;
    m.Products = {{L"{A}", L"1.2.3"}, {L"{B}", L"2.5.0"}};
    m.Related[L"{U}"] = {L"{A}", L"{B}"};
    m.Related[L"{Gone}"] = {L"{Uninstalled}"};
    m.Components = {L"{C1}"};
    struct Case { PrereqSearch search; bool matched; size_t found; };
    const Case cases[] = {
        {Search(3, L"{A}"), true, 1},
        {Search(3, L"{A}", L"1.2.4"), false, 1},
        {Search(3, L"{Z}"), false, 0},
        {Search(4, L"{U}", L"2.0"), true, 2},
        {Search(4, L"{U}", L"", L"1.5"), true, 2},
        {Search(4, L"{U}", L"3.0"), false, 2},
        {Search(4, L"{None}"), false, 0},
        {Search(4, L"{Gone}"), false, 0},
        {Search(11, L"{C1}"), true, 0},
        {Search(11, L"{C2}"), false, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(c.search.SearchType);
        CAPTURE(c.search.SearchString);
        const SearchResult r = EvaluateSearch(c.search, false, m);
        CHECK(r.Matched == c.matched);
        CHECK(r.FoundValues.size() == c.found);
    }
}

TEST_CASE("File search: candidates, depth and version bounds") {
    FakeMachine m;
    m.Files = {
        {L"D:\\tool.dll", L"2.0.0.0"},
        {L"C:\\App\\tool.dll", L"1.0.0.0"},
        {L"C:\\App\\sub1\\tool.dll", L"1.5.0.0"},
        {L"C:\\App\\sub2\\tool.dll", L"3.0.0.0"},
        {L"C:\\App\\sub2\\deep\\tool.dll", L"4.0.0.0"},
        {L"C:\\Program Files\\Acme\\acme.exe", L"5.1.0.0"},
        {L"C:\\App\\noversion.txt", L"0.0.0.0"},
        {L"C:\\App\\*.dll", L"0.0.0.0"},
    };
    struct Case { const wchar_t* text; const wchar_t* verMin; bool matched; std::vector<WideString> looked; };
    const Case cases[] = {
        // A bare name looks only in the roots of the fixed drives, in order,
        // and stops at the first file in range.
        {L"tool.dll", L"", true, {L"C:\\tool.dll", L"D:\\tool.dll"}},
        {L"tool.dll", L"3.0", false, {L"C:\\tool.dll", L"D:\\tool.dll"}},
        // A folder with depth 1: the folder, then its direct subfolders.
        {L"C:\\App\\tool.dll?1", L"1.2", true,
         {L"C:\\App\\tool.dll", L"C:\\App\\sub1\\tool.dll"}},
        {L"C:\\App\\tool.dll?1", L"3.5", false,
         {L"C:\\App\\tool.dll", L"C:\\App\\sub1\\tool.dll", L"C:\\App\\sub2\\tool.dll"}},
        {L"C:\\App\\tool.dll?2", L"3.5", true,
         {L"C:\\App\\tool.dll", L"C:\\App\\sub1\\tool.dll", L"C:\\App\\sub2\\tool.dll",
          L"C:\\App\\sub2\\deep\\tool.dll"}},
        // Depth 0, negative and absurd depths.
        {L"C:\\App\\tool.dll", L"1.2", false, {L"C:\\App\\tool.dll"}},
        {L"C:\\App\\tool.dll?-1", L"1.2", false, {L"C:\\App\\tool.dll"}},
        {L"C:\\App\\tool.dll?x", L"1.2", false, {L"C:\\App\\tool.dll"}},
        {L"C:\\App\\tool.dll?1000000", L"3.5", true,
         {L"C:\\App\\tool.dll", L"C:\\App\\sub1\\tool.dll", L"C:\\App\\sub2\\tool.dll",
          L"C:\\App\\sub2\\deep\\tool.dll"}},
        // A reference makes the string a path, expanded per candidate.
        {L"[ProgramFilesFolder]Acme\\acme.exe", L"5.0", true, {L"C:\\Program Files\\Acme\\acme.exe"}},
        // No version: found with empty bounds, and only then.
        {L"C:\\App\\noversion.txt", L"", true, {L"C:\\App\\noversion.txt"}},
        {L"C:\\App\\noversion.txt", L"0.1", false, {L"C:\\App\\noversion.txt"}},
        {L"C:\\App\\*.dll", L"", true, {L"C:\\App\\*.dll"}},
        // A name without folder is looked up where the process stands.
        {L"C:\\App\\missing.dll", L"", false, {L"C:\\App\\missing.dll"}},
        // Degenerate strings: nothing found, nothing matched, no crash.
        {L"", L"", false, {L"C:\\", L"D:\\"}},
        {L"\\", L"", false, {L"\\"}},
        {L"?", L"", false, {L"C:\\", L"D:\\"}},
        {L"??", L"", false, {L"C:\\", L"D:\\"}},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.text));
        CAPTURE(std::wstring(c.verMin));
        m.Looked.clear();
        const SearchResult r = EvaluateSearch(Search(0, c.text, c.verMin), false, m);
        CHECK(r.Matched == c.matched);
        CHECK(m.Looked == c.looked);
    }
}

TEST_CASE("File search: versions out of range stay found; redirection is restored") {
    FakeMachine m;
    m.Files = {{L"C:\\App\\tool.dll", L"1.0.65535.0"}, {L"C:\\App\\sub\\tool.dll", L"2.0.0.0"}};
    SearchResult r = EvaluateSearch(Search(0, L"C:\\App\\tool.dll?1", L"1.5"), true, m);
    CHECK(r.Matched);
    CHECK(r.FoundValues == std::vector<WideString>{L"1.0", L"2.0"});
    CHECK(m.RedirectionWasOff);
    CHECK(m.RedirectionDepth == 0);

    FakeMachine plain;
    EvaluateSearch(Search(0, L"tool.dll"), false, plain);
    CHECK_FALSE(plain.RedirectionWasOff);
}

TEST_CASE("Command search runs the package's program") {
    FakeMachine m;
    m.Programs = {{L"C:\\pkg\\check.exe", 0}, {L"C:\\pkg\\fail.exe", 1603}};
    PrereqSearch ok = Search(10, L"check.exe", L"", L"", L"WND_HIDE");
    ok.SearchCmdLine = L"/dir [ProgramFilesFolder]";
    CHECK(EvaluateSearch(ok, false, m).Matched);
    CHECK(m.Ran.back() == L"C:\\pkg\\check.exe|/dir C:\\Program Files\\|hidden");
    CHECK_FALSE(EvaluateSearch(Search(10, L"fail.exe", L"", L"", L"wnd_hide"), false, m).Matched);
    CHECK(m.Ran.back() == L"C:\\pkg\\fail.exe|");
    CHECK_FALSE(EvaluateSearch(Search(10, L"missing.exe"), false, m).Matched);
    // Handed to a program that was already running: started, but no exit
    // code says success.
    m.Documents = {L"C:\\pkg\\readme.txt"};
    CHECK_FALSE(EvaluateSearch(Search(10, L"readme.txt"), false, m).Matched);
    const size_t runs = m.Ran.size();
    CHECK_FALSE(EvaluateSearch(Search(10, L""), false, m).Matched);
    CHECK(m.Ran.size() == runs);  // nothing to start: nothing started
}

TEST_CASE("EvaluateSearches: the three operators and where they stop") {
    FakeMachine m;
    m.Keys = {L"HKLM\\Yes"};
    const PrereqSearch yes = Search(5, L"HKLM\\Yes");
    const PrereqSearch no = Search(5, L"HKLM\\No");
    // Type 10 records each evaluation, which shows where evaluation stopped.
    m.Programs = {{L"C:\\pkg\\probe.exe", 1}};
    const PrereqSearch probe = Search(10, L"probe.exe");

    struct Case { int32_t op; std::vector<PrereqSearch> searches; bool present; size_t probes; };
    const Case cases[] = {
        {0, {}, true, 0},
        {1, {}, false, 0},
        {2, {}, false, 0},
        {0, {yes, yes}, true, 0},
        {0, {yes, no, probe}, false, 0},   // stops at the first failure
        {0, {yes, probe}, false, 1},
        {1, {no, yes, probe}, true, 0},    // stops at the first match
        {1, {no, probe, no}, false, 1},
        {2, {yes, probe, yes}, false, 1},  // runs everything, never present
        {-1, {yes}, false, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(c.op);
        Prerequisite p;
        p.Operator = c.op;
        p.Searches = c.searches;
        m.Ran.clear();
        CHECK(EvaluateSearches(p, false, m) == c.present);
        CHECK(m.Ran.size() == c.probes);
    }
}
