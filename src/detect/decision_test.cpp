#include "detect/decision.h"

#include <map>
#include <set>

#include "test/doctest_main.h"

namespace {

class FakeHost : public DecisionHost {
public:
    WideString Name = L"Windows 7 x86 Service Pack 1";
    PlatformClass Platform = WinNT;
    uint16_t LangId = 1033;
    std::set<WideString> Present;    // names of prerequisites whose searches match
    std::set<WideString> OnDisk;     // names whose download is available
    std::vector<WideString> Lines;
    std::vector<WideString> Searched;

    const WideString& WindowsVersionName() override { return Name; }
    PlatformClass GetPlatformClass() override { return Platform; }
    uint16_t SystemDefaultLangId() override { return LangId; }
    WideString LanguageName(uint16_t) override { return L"English (United States)"; }
    bool EvaluateSearches(const Prerequisite& p, bool view64) override {
        Searched.push_back(p.Name + (view64 ? L" x" : L""));
        return Present.count(p.Name) != 0;
    }
    bool IsDownloadAvailable(const Prerequisite& p) override { return OnDisk.count(p.Name) != 0; }
    void LogLine(const WideString& text) override { Lines.push_back(text); }
};

Prerequisite Prereq(const WideString& name, int32_t kind = LocationSetupFile, const WideString& parent = L"") {
    Prerequisite p;
    p.Name = name;
    p.LocationKind = kind;
    p.ParentPrereq = parent;
    return p;
}

}  // namespace

TEST_CASE("StatusText: every value, and values outside the table") {
    CHECK(WideString(StatusText(0)) == L"An acceptable version was found.");
    CHECK(WideString(StatusText(1)) == L"No acceptable version found. It must be installed from package.");
    CHECK(WideString(StatusText(2)) == L"No acceptable version found. It must be downloaded.");
    CHECK(WideString(StatusText(3)) == L"No acceptable version found. It must be downloaded manually from a site.");
    CHECK(WideString(StatusText(4)) == StatusText(3));
    CHECK(WideString(StatusText(5)) ==
          L"No acceptable version found. It is already downloaded and it will be installed.");
    CHECK(WideString(StatusText(6)) == L"No acceptable version found.");
    CHECK(WideString(StatusText(7)) == L"Not selected for install.");
    CHECK(WideString(StatusText(8)) == L"Undefined");
    CHECK(WideString(StatusText(9)) == L"Undefined");
    CHECK(WideString(StatusText(-1)) == L"Undefined");
}

TEST_CASE("MatchesWindowsFilter") {
    struct Case { PlatformClass platform; const wchar_t* list; const wchar_t* name; bool applies; };
    const Case cases[] = {
        {WinNT, L"", L"Windows 7 x86", true},
        {WinNT, L"Windows 7 x86, Windows 7 x86 Service Pack 1", L"Windows 7 x86 Service Pack 1", false},
        {WinNT, L"Windows 7 x86", L"Windows 7 x86 Service Pack 1", true},
        {WinNT, L"Windows XP, Windows 7 x86", L"Windows 7 x86", false},
        {WinNT, L"Windows XP,Windows 7 x86", L"Windows 7 x86", true},      // only ", " separates
        {WinNT, L"Windows XP,  Windows 7 x86", L"Windows 7 x86", true},    // items are not trimmed
        {WinNT, L"windows 7 x86", L"Windows 7 x86", true},                 // case-sensitive
        {WinNT, L"Windows 7 x86, ", L"", true},                            // no empty item at the end
        {WinNT, L"a, , b", L"", false},                                    // but one between separators
        {WinNT, L"Windows 9x/ME/NT/2000/XP/Vista/Windows 7/Windows 8 x86/Windows 8.1 x86", L"anything", false},
        {WinNT, L"Windows XP/Vista/Windows 7/Windows 8 x64/Windows 8.1 x64", L"anything", true},
        {WinNT64, L"Windows XP/Vista/Windows 7/Windows 8 x64/Windows 8.1 x64", L"anything", false},
        {WinNT64, L"Windows 8.1 x64", L"Windows 8.1 x64", false},
        {Win9x, L"Windows 9x/ME", L"Windows 98", false},
        {Win9x, L"Windows 95, Windows 98", L"Windows 98", false},
        {Win9x, L"Windows 95", L"Windows 98", true},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.list));
        CAPTURE(std::wstring(c.name));
        Prerequisite p;
        WideString* list = c.platform == WinNT64 ? &p.WinNT64Versions
                          : c.platform == Win9x  ? &p.Win9xVersions
                                                 : &p.WinNTVersions;
        *list = c.list;
        CHECK(MatchesWindowsFilter(p, c.name, c.platform) == c.applies);
    }
    // Each platform class looks only at its own list.
    Prerequisite other;
    other.WinNT64Versions = L"Windows 7 x86";
    other.Win9xVersions = L"Windows 7 x86";
    CHECK(MatchesWindowsFilter(other, L"Windows 7 x86", WinNT));
}

TEST_CASE("LanguageListMatches: ';'-terminated pieces, low 16 bits") {
    struct Case { const wchar_t* list; uint16_t id; bool matches; };
    const Case cases[] = {
        {L"1033;", 1033, true},
        {L"1031;1033;", 1033, true},
        {L"1031;1036;", 1033, false},
        {L"1033", 1033, false},            // loading appends the ";" that makes it a piece
        {L" 1033;", 1033, true},
        {L"\t1033;", 1033, false},
        {L"66569;", 1033, true},            // 65536 + 1033
        {L"abc;def;", 0, true},
        {L"abc;def;", 1033, false},
        {L";;", 0, true},
        {L"-64503;", 1033, true},           // wraps to 0x...0409
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.list));
        CAPTURE(c.id);
        CHECK(LanguageListMatches(c.list, c.id) == c.matches);
    }
}

TEST_CASE("DetectPrerequisite: filters, searches and the log lines") {
    FakeHost host;
    PrereqList list{Prereq(L"Found"), Prereq(L"Pkg"), Prereq(L"Web", LocationUrl), Prereq(L"Site", LocationOpenSite),
                    Prereq(L"Skip", LocationUrl), Prereq(L"OtherOs"), Prereq(L"German"), Prereq(L"English")};
    host.Present = {L"Found", L"Skip", L"English"};
    list[0].Options = L"x";
    list[4].Options = L"i";
    list[4].SkipDetection = true;
    list[5].WinNTVersions = L"Windows XP, Windows 7 x86 Service Pack 1";
    list[6].LanguageList = L"1031;";
    list[7].LanguageList = L"1031;1033;";
    for (size_t i = 0; i < list.size(); ++i) DetectPrerequisite(list, i, false, host);

    CHECK(list[0].Status == Found);
    CHECK(list[1].Status == InstallFromPackage);
    CHECK(list[2].Status == Download);
    CHECK(list[3].Status == VisitSite);
    CHECK(list[4].Status == Download);  // "i": missing at first, no search
    CHECK(list[5].Status == NotApplicable);
    CHECK(list[6].Status == NotApplicable);
    CHECK(list[7].Status == Found);
    CHECK(host.Searched == std::vector<WideString>{L"Found x", L"Pkg", L"Web", L"Site", L"English"});
    const std::vector<WideString> expected{
        L"Searching for:Found", L"Search result:An acceptable version was found.",
        L"Searching for:Pkg", L"Search result:No acceptable version found. It must be installed from package.",
        L"Searching for:Web", L"Search result:No acceptable version found. It must be downloaded.",
        L"Searching for:Site",
        L"Search result:No acceptable version found. It must be downloaded manually from a site.",
        L"Searching for:Skip", L"Search result:No acceptable version found. It must be downloaded.",
        L"Wrong OS or Os language for:OtherOs",
        L"SystemDefault LangID=1033-English (United States)", L"Wrong OS or Os language for:German",
        L"SystemDefault LangID=1033-English (United States)", L"Searching for:English",
        L"Search result:An acceptable version was found.",
    };
    CHECK(host.Lines == expected);

    // Re-detection: "i" becomes found without a result line; not applicable
    // stays so silently.
    host.Lines.clear();
    DetectPrerequisite(list, 4, true, host);
    DetectPrerequisite(list, 5, true, host);
    CHECK(list[4].Status == Found);
    CHECK(list[5].Status == NotApplicable);
    CHECK(host.Lines == std::vector<WideString>{L"Searching for:Skip"});
    CHECK(AnyPrerequisiteMissing(list));
}

TEST_CASE("SelectPrerequisite: parents and children") {
    FakeHost host;
    // Base <- Child1 (missing), Child2 (found), Child3 (not applicable); Lone.
    PrereqList list{Prereq(L"Base", LocationUrl), Prereq(L"Child1", LocationSetupFile, L"Base"),
                    Prereq(L"Child2", LocationSetupFile, L"Base"), Prereq(L"Child3", LocationSetupFile, L"Base"),
                    Prereq(L"Lone", LocationSetupFile, L"Nobody")};
    list[0].Status = Download;
    list[1].Status = InstallFromPackage;
    list[2].Status = Found;
    list[3].Status = NotApplicable;
    list[4].Status = InstallFromPackage;

    SUBCASE("selecting a child selects its parent, which reselects its missing children") {
        SelectPrerequisite(list, 1, true, host);
        CHECK(list[0].Selected);
        CHECK(list[1].Selected);
        CHECK_FALSE(list[2].Selected);
        CHECK_FALSE(list[3].Selected);
        CHECK(host.Lines ==
              std::vector<WideString>{L"Prerequisite selected for install:Child1", L"Prerequisite selected for install:Base"});
    }
    SUBCASE("deselecting a parent deselects its children without a log line") {
        SelectPrerequisite(list, 0, true, host);
        CHECK(list[1].Selected);
        host.Lines.clear();
        SelectPrerequisite(list, 0, false, host);
        CHECK_FALSE(list[0].Selected);
        CHECK_FALSE(list[1].Selected);
        CHECK(host.Lines.empty());
    }
    SUBCASE("a parent that is found or not applicable is not selected") {
        list[0].Status = Found;
        SelectPrerequisite(list, 1, true, host);
        CHECK_FALSE(list[0].Selected);
        list[0].Status = NotApplicable;
        SelectPrerequisite(list, 1, false, host);
        SelectPrerequisite(list, 1, true, host);
        CHECK_FALSE(list[0].Selected);
    }
    SUBCASE("an unknown parent is ignored") {
        SelectPrerequisite(list, 4, true, host);
        CHECK(list[4].Selected);
        CHECK(host.Lines == std::vector<WideString>{L"Prerequisite selected for install:Lone"});
    }
}

TEST_CASE("SelectPrerequisite: cycles, self-reference and long chains end") {
    FakeHost host;
    SUBCASE("A names B, B names A") {
        PrereqList list{Prereq(L"A", LocationSetupFile, L"B"), Prereq(L"B", LocationSetupFile, L"A")};
        list[0].Status = list[1].Status = InstallFromPackage;
        SelectPrerequisite(list, 0, true, host);
        CHECK(list[0].Selected);
        CHECK(list[1].Selected);
        SelectPrerequisite(list, 1, false, host);
        CHECK_FALSE(list[0].Selected);
        CHECK_FALSE(list[1].Selected);
    }
    SUBCASE("a cycle through a prerequisite that was never detected") {
        PrereqList list{Prereq(L"A", LocationSetupFile, L"C"), Prereq(L"C", LocationSetupFile, L"A")};
        list[0].Status = InstallFromPackage;
        list[1].Status = Undefined;
        // C selects its missing child A; A deselects its child C, which is not
        // missing; C then reselects its parent A once more. It ends there.
        SelectPrerequisite(list, 1, true, host);
        CHECK_FALSE(list[1].Selected);
        CHECK(list[0].Selected);
        CHECK(host.Lines == std::vector<WideString>{L"Prerequisite selected for install:C",
                                                    L"Prerequisite selected for install:A",
                                                    L"Prerequisite selected for install:A"});
    }
    SUBCASE("a prerequisite naming itself") {
        PrereqList list{Prereq(L"Self", LocationSetupFile, L"Self")};
        list[0].Status = Download;
        SelectPrerequisite(list, 0, true, host);
        CHECK(list[0].Selected);
        CHECK(host.Lines.size() == 1);
    }
    SUBCASE("a chain of 5000 parents, selected from its far end") {
        // Deep enough that one stack frame per link would strain a thread's
        // stack; the children scan makes it quadratic, so not deeper.
        PrereqList list;
        const int n = 5000;
        for (int i = 0; i < n; ++i) {
            list.push_back(Prereq(L"P" + std::to_wstring(i), LocationSetupFile,
                                  i + 1 < n ? L"P" + std::to_wstring(i + 1) : L""));
            list.back().Status = InstallFromPackage;
        }
        SelectPrerequisite(list, 0, true, host);
        bool all = true;
        for (const auto& p : list) all = all && p.Selected;
        CHECK(all);
        CHECK(host.Lines.back() == L"Prerequisite selected for install:P4999");
        SelectPrerequisite(list, n - 1, false, host);
        bool none = true;
        for (const auto& p : list) none = none && !p.Selected;
        CHECK(none);
    }
}

TEST_CASE("EffectiveStatus, PlannedStatus and the selection rule") {
    FakeHost host;
    PrereqList list{Prereq(L"Web", LocationUrl), Prereq(L"Got", LocationUrl), Prereq(L"Pkg"),
                    Prereq(L"Site", LocationOpenSite), Prereq(L"Here"), Prereq(L"NA")};
    list[0].Status = Download;
    list[1].Status = Download;
    list[2].Status = InstallFromPackage;
    list[3].Status = VisitSite;
    list[4].Status = Found;
    list[5].Status = NotApplicable;
    host.OnDisk = {L"Got"};
    for (size_t i = 0; i < list.size(); ++i) ApplySelectionRule(list, i, host);

    CHECK(EffectiveStatus(list[0]) == Download);
    CHECK(EffectiveStatus(list[1]) == AlreadyDownloaded);
    CHECK(list[1].Downloaded);
    const PrereqStatus planned[] = {Download, AlreadyDownloaded, InstallFromPackage, VisitSite, NotSelected,
                                    NotSelected};
    for (size_t i = 0; i < list.size(); ++i) {
        CAPTURE(i);
        CHECK(PlannedStatus(list[i], host) == planned[i]);
    }
    // Found while selected (a parent whose status changed after selection):
    // the plan follows the location.
    for (auto& p : list) {
        p.Status = Found;
        p.Selected = true;
    }
    CHECK(PlannedStatus(list[0], host) == Download);
    CHECK(PlannedStatus(list[1], host) == AlreadyDownloaded);
    CHECK(PlannedStatus(list[2], host) == InstallFromPackage);
    CHECK(PlannedStatus(list[3], host) == VisitSite);
}
