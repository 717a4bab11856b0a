#include "app/chain_run.h"

#include <set>

#include "test/doctest_main.h"

namespace {

class FakeDecisions : public DecisionHost {
public:
    WideString Name = L"Windows 7 x64 Service Pack 1";
    std::set<WideString> Present;
    std::set<WideString> PresentAfterInstall;  // found by re-detection only
    std::set<WideString> OnDisk;
    bool Installed = false;
    std::vector<WideString> Lines;

    const WideString& WindowsVersionName() override { return Name; }
    PlatformClass GetPlatformClass() override { return WinNT64; }
    uint16_t SystemDefaultLangId() override { return 1033; }
    WideString LanguageName(uint16_t) override { return L"English"; }
    bool EvaluateSearches(const Prerequisite& p, bool) override {
        return Present.count(p.Name) || (Installed && PresentAfterInstall.count(p.Name));
    }
    bool IsDownloadAvailable(const Prerequisite& p) override { return OnDisk.count(p.Name) != 0; }
    void LogLine(const WideString& text) override { Lines.push_back(text); }
};

class FakeChainHost : public ChainHost {
public:
    FakeDecisions Fake;
    std::vector<WideString> Events;
    DecisionHost& Decisions() override { return Fake; }
    void ShowPreparing(uint32_t id) override { Events.push_back(L"show " + std::to_wstring(id)); }
    void ClosePreparing() override { Events.push_back(L"close"); }
    void RunDetection(void (*job)(void*), void* context) override {
        Events.push_back(L"pump");
        job(context);
    }
    void DeleteInterbootKey() override { Events.push_back(L"delete key"); }
};

Prerequisite Prereq(const WideString& name, const WideString& options = L"", int32_t kind = LocationSetupFile) {
    Prerequisite p;
    p.Name = name;
    p.Options = options;
    p.SkipDetection = options.find(L'i') != WideString::npos;
    p.LocationKind = kind;
    return p;
}

bool Contains(const std::vector<WideString>& lines, const WideString& line) {
    for (const WideString& l : lines) {
        if (l == line) return true;
    }
    return false;
}

}  // namespace

TEST_CASE("RunChain: outcomes that do not need a phase") {
    struct Case {
        const wchar_t* label;
        const wchar_t* options;
        std::vector<Prerequisite> list;
        int32_t exitCode;
        std::vector<WideString> events;
    };
    const Case cases[] = {
        {L"no prerequisite", L"q", {}, 0, {L"delete key"}},
        {L"no prerequisite, interactive", L"", {}, 0, {L"delete key"}},
        {L"all present, silent", L"q", {Prereq(L"Have")}, 0, {L"delete key"}},
        {L"all present, interactive: the window stays", L"b", {Prereq(L"Have")}, 0,
         {L"show 223", L"pump", L"delete key"}},
        {L"silent, mandatory still missing", L"q", {Prereq(L"Need", L"m")}, 1, {L"close", L"delete key"}},
        {L"silent, optional still missing", L"q", {Prereq(L"Need")}, 0, {L"close", L"delete key"}},
        {L"qb is silent", L"qb", {Prereq(L"Need", L"m")}, 1, {L"close", L"delete key"}},
        {L"basic UI without its dialog", L"b", {Prereq(L"Need", L"m")}, 0,
         {L"show 223", L"pump", L"close", L"delete key"}},
        {L"neither letter", L"x", {Prereq(L"Need", L"m")}, 0, {L"show 223", L"pump", L"close", L"delete key"}},
        // "i": missing at first, found when detected again.
        {L"silent, skip-detection mandatory", L"q", {Prereq(L"Skip", L"mi")}, 0, {L"close", L"delete key"}},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.label));
        FakeChainHost host;
        host.Fake.Present = {L"Have"};
        SetupConfig config;
        config.GeneralOptions.Options = c.options;
        config.Prerequisites = c.list;
        CHECK(RunChain(config, host) == c.exitCode);
        CHECK(host.Events == c.events);
        const bool nothingMissing = c.list.empty() || c.list[0].Name == L"Have";
        CHECK(Contains(host.Fake.Lines, L"No prerequisite must be installed.") == (!c.list.empty() && nothingMissing));
        CHECK(Contains(host.Fake.Lines, L"After running prerequisites we have:  Reboot was required=false") ==
              !nothingMissing);
    }
}

TEST_CASE("RunChain: the log of a silent run") {
    FakeChainHost host;
    host.Fake.Present = {L"A"};
    SetupConfig config;
    config.GeneralOptions.Options = L"q";
    config.Prerequisites = {Prereq(L"A"), Prereq(L"B", L"m", LocationUrl), Prereq(L"C")};
    config.Prerequisites[2].ParentPrereq = L"B";
    host.Fake.OnDisk = {L"B"};
    CHECK(RunChain(config, host) == 1);
    const std::vector<WideString> expected{
        L"Searching for:A",
        L"Search result:An acceptable version was found.",
        L"Searching for:B",
        L"Search result:No acceptable version found. It must be downloaded.",
        L"Searching for:C",
        L"Search result:No acceptable version found. It must be installed from package.",
        L"Prerequisite selected for install:B",
        L"Prerequisite selected for install:C",
        L"Starting installing prerequisites in silent mode.",
        L"Searching for:B",
        L"Search result:No acceptable version found. It must be downloaded.",
        L"Searching for:C",
        L"Search result:No acceptable version found. It must be installed from package.",
        L"After running prerequisites we have:  Reboot was required=false",
    };
    CHECK(host.Fake.Lines == expected);
    // The file was already on disk: the plan is to install it.
    CHECK(config.Prerequisites[1].Downloaded);
    CHECK(PlannedStatus(config.Prerequisites[1], host.Fake) == AlreadyDownloaded);
}

TEST_CASE("ChainRunner: re-detection, mandatory prerequisites, the found check") {
    FakeChainHost host;
    SetupConfig config;
    config.Prerequisites = {Prereq(L"A", L"m"), Prereq(L"B"), Prereq(L"NA", L"m")};
    config.Prerequisites[2].WinNT64Versions = L"Windows 7 x64 Service Pack 1";
    for (size_t i = 0; i < config.Prerequisites.size(); ++i) {
        DetectPrerequisite(config.Prerequisites, i, false, host.Fake);
    }
    ChainRunner runner(config, host);
    CHECK(config.Prerequisites[0].Selected);
    CHECK(config.Prerequisites[1].Selected);
    CHECK_FALSE(config.Prerequisites[2].Selected);
    CHECK_FALSE(runner.AllMandatoryPresent());
    CHECK_FALSE(runner.IsNowFound(0));

    host.Fake.Installed = true;
    host.Fake.PresentAfterInstall = {L"A"};
    CHECK(runner.IsNowFound(0));
    CHECK_FALSE(runner.IsNowFound(7));  // no such prerequisite
    runner.RedetectAll();
    // Found now, so deselected; the not-applicable one is never looked at.
    CHECK_FALSE(config.Prerequisites[0].Selected);
    CHECK(config.Prerequisites[1].Selected);
    CHECK(config.Prerequisites[2].Status == NotApplicable);
    CHECK(runner.AllMandatoryPresent());
}

TEST_CASE("ChainRunner as a sink: questions go to the interface's sink") {
    struct UiSink : ProgressSink {
        bool Cancel = false;
        void SetRange(uint32_t) override {}
        void SetItemRange(uint32_t, const wchar_t*) override {}
        void Complete(int32_t) override {}
        void SetStatusText(const wchar_t*) override {}
        void AddItemProgress(uint32_t) override {}
        bool IsCancelled() override { return Cancel; }
        bool IsPaused() override { return true; }
        void ReportItemError(uint32_t, uint32_t) override {}
    } ui;
    FakeChainHost host;
    SetupConfig config;
    ChainRunner runner(config, host);
    CHECK_FALSE(runner.IsCancelled());
    CHECK_FALSE(runner.IsPaused());
    runner.UiSink = &ui;
    CHECK_FALSE(runner.IsCancelled());
    CHECK(runner.IsPaused());
    ui.Cancel = true;
    CHECK(runner.IsCancelled());
    CHECK(runner.IsCancelled());
    CHECK(host.Fake.Lines == std::vector<WideString>{L"Download was canceled.", L"Download was canceled."});
}
