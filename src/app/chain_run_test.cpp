#include "app/chain_run.h"

#include <map>
#include <memory>
#include <set>
#include <string>

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

class FakeStore : public RegistryStore {
public:
    FakeStore() : RegistryStore("InterbootContext") {}
    std::map<NarrowText, NarrowText> Values;
    bool Refuse = false;  // a registry that will not take the key
    int32_t SetString(const NarrowText& name, const NarrowText& text) override {
        if (Refuse) return kFailed;
        if (Values.count(name)) return kExists;
        Values[name] = text;
        return kOk;
    }
    int32_t GetString(const NarrowText& name, NarrowText& text) override {
        auto it = Values.find(name);
        if (it == Values.end()) return kFailed;
        text = it->second;
        return kOk;
    }
};

// Installers are looked up by path: their exit code, or absent (the launch
// fails with error 2). Launching one can make prerequisites present.
class FakeChainHost : public ChainHost {
public:
    FakeDecisions Fake;
    FakeStore Store;
    std::vector<WideString> Events;
    std::map<WideString, uint32_t> Installers;
    std::map<WideString, WideString> Installs;  // installer path -> prerequisite it makes present
    WideString Extraction = L"C:\\pkg\\";
    std::vector<uint32_t> Sleeps;
    bool AnswerNo = false;

    DecisionHost& Decisions() override { return Fake; }
    void ShowPreparing(uint32_t id) override { Events.push_back(L"show " + std::to_wstring(id)); }
    void ClosePreparing() override { Events.push_back(L"close"); }
    void RunDetection(void (*job)(void*), void* context) override {
        Events.push_back(L"pump");
        job(context);
    }
    void DeleteInterbootKey() override { Events.push_back(L"delete key"); }
    RegistryStore& InterbootStore() override { return Store; }
    const WideString& ExtractionFolderPath() override { return Extraction; }
    bool LaunchFile(const WideString& path, const WideString& arguments, uint32_t& exitCode,
                    uint32_t& error) override {
        Events.push_back(L"launch " + path + L" " + arguments);
        auto it = Installers.find(path);
        if (it == Installers.end()) {
            error = 2;
            return false;
        }
        exitCode = it->second;
        auto made = Installs.find(path);
        if (made != Installs.end()) Fake.PresentAfterInstall.insert(made->second);
        Fake.Installed = true;
        return true;
    }
    WideString ExpandReferences(const WideString& text) override {
        WideString out = text;
        const WideString ref = L"[TempFolder]";
        for (size_t at; (at = out.find(ref)) != WideString::npos;) out.replace(at, ref.size(), L"C:\\Temp\\");
        return out;
    }
    void Sleep(uint32_t milliseconds) override { Sleeps.push_back(milliseconds); }
    bool RequestReboot(bool silent, bool& refused) override {
        Events.push_back(silent ? L"reboot silently" : L"reboot question");
        if (!silent && AnswerNo) {
            refused = true;
            return false;
        }
        return true;
    }
    bool RegisterRunAtLogon(const WideString& command, const WideString& arguments) override {
        Events.push_back(L"register [" + command + L"][" + arguments + L"]");
        return false;
    }
    NarrowText AnsiText(const WideString& text) override {
        NarrowText out;
        for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
    WideString StringText(uint32_t id) override {
        return id == 153 ? L"Installing %s" : id == 198 ? L"Opening site of %s" : L"?";
    }
    WideString SystemErrorText(uint32_t code) override { return L"error " + std::to_wstring(code) + L"\r\n"; }
    void OpenSite(const WideString& url) override { Events.push_back(L"site " + url); }
};

Prerequisite Prereq(const WideString& name, const WideString& options = L"", int32_t kind = LocationSetupFile) {
    Prerequisite p;
    p.Name = name;
    p.Options = options;
    p.SkipDetection = options.find(L'i') != WideString::npos;
    p.LocationKind = kind;
    p.Location = kind == LocationSetupFile ? name + L".exe" : L"http://host/" + name + L".exe";
    p.RetValPropName = name + L"RET";
    return p;
}

bool Contains(const std::vector<WideString>& lines, const WideString& line) {
    for (const WideString& l : lines) {
        if (l == line) return true;
    }
    return false;
}

const WideString kRegister = L"register [][]";

}  // namespace

TEST_CASE("RunChain: outcomes by mode") {
    struct Case {
        const wchar_t* label;
        const wchar_t* options;
        std::vector<Prerequisite> list;
        bool installerWorks;
        int32_t exitCode;
        std::vector<WideString> events;
    };
    const Case cases[] = {
        {L"no prerequisite", L"q", {}, true, 0, {L"delete key"}},
        {L"no prerequisite, interactive", L"", {}, true, 0, {L"delete key"}},
        {L"all present, silent", L"q", {Prereq(L"Have")}, true, 0, {L"delete key"}},
        {L"all present, interactive: the window stays", L"b", {Prereq(L"Have")}, true, 0,
         {L"show 223", L"pump", L"delete key"}},
        {L"silent, installed", L"q", {Prereq(L"Need", L"m")}, true, 0,
         {L"close", kRegister, kRegister, L"launch C:\\pkg\\Need.exe ", L"delete key"}},
        {L"silent, mandatory still missing", L"q", {Prereq(L"Need", L"m")}, false, 1,
         {L"close", kRegister, kRegister, L"launch C:\\pkg\\Need.exe ", L"delete key"}},
        {L"silent, optional still missing", L"q", {Prereq(L"Need")}, false, 0,
         {L"close", kRegister, kRegister, L"launch C:\\pkg\\Need.exe ", L"delete key"}},
        {L"qb is silent", L"qb", {Prereq(L"Need", L"m")}, false, 1,
         {L"close", kRegister, kRegister, L"launch C:\\pkg\\Need.exe ", L"delete key"}},
        {L"basic UI without its dialog", L"b", {Prereq(L"Need", L"m")}, true, 0,
         {L"show 223", L"pump", L"close", L"delete key"}},
        {L"neither letter", L"x", {Prereq(L"Need", L"m")}, true, 0, {L"show 223", L"pump", L"close", L"delete key"}},
        // "i": missing at first, found when detected again, even when its
        // installer cannot be started.
        {L"silent, skip-detection mandatory", L"q", {Prereq(L"Skip", L"mi")}, false, 0,
         {L"close", kRegister, kRegister, L"launch C:\\pkg\\Skip.exe ", L"delete key"}},
        {L"silent, reboot", L"q", {Prereq(L"Boot", L"r")}, true, -1,
         {L"close", kRegister, kRegister, L"launch C:\\pkg\\Boot.exe ", L"reboot silently"}},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.label));
        FakeChainHost host;
        host.Fake.Present = {L"Have"};
        for (const Prerequisite& p : c.list) {
            if (c.installerWorks) {
                host.Installers[L"C:\\pkg\\" + p.Location] = 0;
                host.Installs[L"C:\\pkg\\" + p.Location] = p.Name;
            }
        }
        SetupConfig config;
        config.GeneralOptions.Options = c.options;
        config.Prerequisites = c.list;
        CHECK(RunChain(config, host) == c.exitCode);
        CHECK(host.Events == c.events);
        const bool nothingMissing = c.list.empty() || c.list[0].Name == L"Have";
        CHECK(Contains(host.Fake.Lines, L"No prerequisite must be installed.") == (!c.list.empty() && nothingMissing));
        const bool reboot = c.exitCode == -1;
        CHECK(Contains(host.Fake.Lines, WideString(L"After running prerequisites we have:  Reboot was required=") +
                                            (reboot ? L"true" : L"false")) == !nothingMissing);
    }
}

TEST_CASE("RunChain: the log of a silent run") {
    FakeChainHost host;
    host.Fake.Present = {L"A"};
    SetupConfig config;
    config.GeneralOptions.Options = L"q";
    config.Prerequisites = {Prereq(L"A"), Prereq(L"B", L"m", LocationUrl), Prereq(L"C"), Prereq(L"D", L"", LocationOpenSite)};
    config.Prerequisites[1].Location = L"file://C:\\dl\\b.exe";
    config.Prerequisites[1].NoUiCommandLine = L"/q [TempFolder]";
    config.Prerequisites[2].ParentPrereq = L"B";
    config.Prerequisites[2].NoUiCommandLine = L"/s";
    host.Installers = {{L"C:\\dl\\b.exe", 3010}, {L"C:\\pkg\\C.exe", 0}};
    host.Installs = {{L"C:\\dl\\b.exe", L"B"}};
    host.Fake.OnDisk = {L"B"};  // a "file://" location is always available
    CHECK(RunChain(config, host) == 0);
    const std::vector<WideString> expected{
        L"Searching for:A",
        L"Search result:An acceptable version was found.",
        L"Searching for:B",
        L"Search result:No acceptable version found. It must be downloaded.",
        L"Searching for:C",
        L"Search result:No acceptable version found. It must be installed from package.",
        L"Searching for:D",
        L"Search result:No acceptable version found. It must be downloaded manually from a site.",
        L"Prerequisite selected for install:B",
        L"Prerequisite selected for install:C",
        L"Prerequisite selected for install:D",
        L"Starting installing prerequisites in silent mode.",
        L"Launching URL:http://host/D.exe",
        L"Launching file:C:\\dl\\b.exe",
        L"Return code of launched file:3010",
        L"Launching file:C:\\pkg\\C.exe",
        L"Return code of launched file:0",
        L"Searching for:B",
        L"Search result:An acceptable version was found.",
        // B found deselects its child C, which is then not detected again.
        L"Searching for:D",
        L"Search result:No acceptable version found. It must be downloaded manually from a site.",
        L"After running prerequisites we have:  Reboot was required=false",
    };
    CHECK(host.Fake.Lines == expected);
    CHECK(host.Events == std::vector<WideString>{L"close", kRegister, L"site http://host/D.exe", kRegister,
                                                 L"launch C:\\dl\\b.exe /q C:\\Temp\\",
                                                 L"launch C:\\pkg\\C.exe /s", L"delete key"});
    CHECK(host.Sleeps == std::vector<uint32_t>{2000});
    CHECK(host.Store.Values == std::map<NarrowText, NarrowText>{{"BRET", "3010"}, {"CRET", "0"}});
}

namespace {

// Detects and selects as the chain does, then runs the installation phase.
struct Installing {
    FakeChainHost host;
    SetupConfig config;
    explicit Installing(const wchar_t* options, std::vector<Prerequisite> list) {
        config.GeneralOptions.Options = options;
        config.Prerequisites = std::move(list);
    }
    ChainRunner& Run(ProgressSink* sink = nullptr) {
        for (size_t i = 0; i < config.Prerequisites.size(); ++i) {
            DetectPrerequisite(config.Prerequisites, i, false, host.Fake);
        }
        runner.reset(new ChainRunner(config, host));
        host.Fake.Lines.clear();
        InstallAll(*runner, sink);
        return *runner;
    }
    std::unique_ptr<ChainRunner> runner;
    std::vector<WideString> Launches() const {
        std::vector<WideString> out;
        for (const WideString& e : host.Events) {
            if (e.compare(0, 7, L"launch ") == 0) out.push_back(e.substr(7));
        }
        return out;
    }
};

struct RecordingSink : ProgressSink {
    std::vector<WideString> Texts;
    int CancelAfter = -1;  // IsCancelled turns true after this many status texts
    void SetRange(uint32_t) override {}
    void SetItemRange(uint32_t, const wchar_t*) override {}
    void Complete(int32_t) override {}
    void SetStatusText(const wchar_t* text) override { Texts.push_back(text); }
    void AddItemProgress(uint32_t) override {}
    bool IsCancelled() override { return CancelAfter >= 0 && static_cast<int>(Texts.size()) >= CancelAfter; }
    bool IsPaused() override { return false; }
    void ReportItemError(uint32_t, uint32_t) override {}
};

}  // namespace

TEST_CASE("PrepareInstall: command lines by mode letters, installer paths") {
    struct Case { const wchar_t* options; const wchar_t* arguments; };
    const Case modes[] = {{L"q", L"no-ui"}, {L"qb", L"basic"}, {L"b", L"basic"}, {L"", L"full"}, {L"x", L"full"}};
    for (const Case& c : modes) {
        CAPTURE(std::wstring(c.options));
        Prerequisite p = Prereq(L"P");
        p.CommandLine = L"full";
        p.BasicUiCommandLine = L"basic";
        p.NoUiCommandLine = L"no-ui";
        Installing run(c.options, {p});
        run.host.Installers[L"C:\\pkg\\P.exe"] = 0;
        run.Run();
        CHECK(run.Launches() == std::vector<WideString>{L"C:\\pkg\\P.exe " + WideString(c.arguments)});
    }

    std::vector<Prerequisite> list{Prereq(L"Sub"), Prereq(L"Abs"), Prereq(L"Unc"), Prereq(L"FileUrl", L"", LocationUrl),
                                   Prereq(L"Got", L"", LocationUrl), Prereq(L"NotYet", L"", LocationUrl),
                                   Prereq(L"Site", L"", LocationOpenSite)};
    list[0].Location = L"sub\\setup.exe";
    list[1].Location = L"C:\\x\\setup.exe";
    list[2].Location = L"\\\\server\\share\\setup.exe";
    list[3].Location = L"file:///C:/x/y.exe";
    list[4].Folder = L"Tools";
    for (Prerequisite& p : list) p.NoUiCommandLine = L"[TempFolder]";
    Installing run(L"q", list);
    run.host.Extraction = L"C:\\T\\p\\";
    run.host.Fake.OnDisk = {L"FileUrl", L"Got"};
    for (const wchar_t* path : {L"C:\\T\\p\\sub\\setup.exe", L"C:\\x\\setup.exe",
                                L"\\\\server\\share\\setup.exe", L"/C:/x/y.exe", L"Tools\\Got.exe"}) {
        run.host.Installers[path] = 0;
    }
    run.Run();
    // Packaged installers keep their references until launch; downloaded ones
    // are expanded when the job is made (and again at launch).
    CHECK(run.runner->Queue.Jobs.size() == 5);
    CHECK(run.runner->Queue.Jobs[0].CommandLine == L"[TempFolder]");
    CHECK(run.runner->Queue.Jobs[4].CommandLine == L"C:\\Temp\\");
    CHECK(run.Launches() == std::vector<WideString>{
                                L"C:\\T\\p\\sub\\setup.exe C:\\Temp\\",
                                L"C:\\x\\setup.exe C:\\Temp\\",
                                L"\\\\server\\share\\setup.exe C:\\Temp\\",
                                L"/C:/x/y.exe C:\\Temp\\",
                                L"Tools\\Got.exe C:\\Temp\\",
                            });
}

TEST_CASE("InstallAll: a launch failure stops the phase; codes are stored and logged") {
    Installing run(L"q", {Prereq(L"One"), Prereq(L"Two"), Prereq(L"Three")});
    run.host.Installers = {{L"C:\\pkg\\One.exe", 0xC0000005u}, {L"C:\\pkg\\Three.exe", 0}};
    ChainRunner& runner = run.Run();
    CHECK(run.Launches() == std::vector<WideString>{L"C:\\pkg\\One.exe ", L"C:\\pkg\\Two.exe "});
    CHECK(run.host.Fake.Lines == std::vector<WideString>{
                                     L"Launching file:C:\\pkg\\One.exe",
                                     L"Return code of launched file:3221225477",
                                     L"Launching file:C:\\pkg\\Two.exe",
                                     L"Launch failed. Error:error 2\r\n",
                                     L"Return code of launched file:0",
                                 });
    CHECK(runner.Queue.LastLaunchError == 2);
    CHECK(run.host.Store.Values ==
          std::map<NarrowText, NarrowText>{{"OneRET", "-1073741819"}, {"TwoRET", "0"}});
    CHECK(run.host.Sleeps == std::vector<uint32_t>{2000});
    CHECK_FALSE(runner.Queue.RebootRequired);
}

TEST_CASE("InstallAll: a store that refuses every value does not stop the phase") {
    Installing run(L"q", {Prereq(L"One"), Prereq(L"Two")});
    run.host.Store.Refuse = true;
    run.host.Installers = {{L"C:\\pkg\\One.exe", 3010}, {L"C:\\pkg\\Two.exe", 0}};
    run.Run();
    CHECK(run.Launches().size() == 2);
    CHECK(run.host.Store.Values.empty());
}

TEST_CASE("InstallAll: return codes, pauses and the first value of a name") {
    struct Case { uint32_t code; bool pause; const char* stored; };
    const Case cases[] = {
        {0, false, "0"}, {1603, false, "1603"}, {3010, true, "3010"}, {3011, false, "3011"},
        {0xBFFFFFFFu, false, "-1073741825"}, {0xC0000000u, true, "-1073741824"}, {0xFFFFFFFFu, true, "-1"},
        {0x80000000u, false, "-2147483648"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.code);
        Prerequisite first = Prereq(L"First");
        Prerequisite second = Prereq(L"Second");
        first.RetValPropName = second.RetValPropName = L"SAME";
        Installing run(L"q", {first, second});
        run.host.Installers = {{L"C:\\pkg\\First.exe", c.code}, {L"C:\\pkg\\Second.exe", 7}};
        run.Run();
        CHECK(run.host.Store.Values == std::map<NarrowText, NarrowText>{{"SAME", c.stored}});
        CHECK(run.host.Sleeps.size() == (c.pause ? 1u : 0u));
        CHECK(run.Launches().size() == 2);  // an installer's code never stops the loop
    }
}

TEST_CASE("InstallAll: reboot modes") {
    struct Case { const wchar_t* options; bool foundAfter; bool reboot; };
    const Case cases[] = {
        {L"r", false, true}, {L"r", true, true}, {L"rR", true, true}, {L"rR", false, false},
        {L"R", true, false}, {L"", true, false}, {L"mr", false, true},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.options));
        CAPTURE(c.foundAfter);
        Installing run(L"q", {Prereq(L"Boot", c.options), Prereq(L"After")});
        run.host.Installers = {{L"C:\\pkg\\Boot.exe", 3010}, {L"C:\\pkg\\After.exe", 0}};
        if (c.foundAfter) run.host.Installs[L"C:\\pkg\\Boot.exe"] = L"Boot";
        ChainRunner& runner = run.Run();
        CHECK(runner.Queue.RebootRequired == c.reboot);
        CHECK(Contains(run.host.Events, L"reboot silently") == c.reboot);
        CHECK(Contains(run.host.Fake.Lines, L"Rebooting machine...") == c.reboot);
        // The loop ends after the installer that asked for the reboot.
        CHECK(run.Launches().size() == (c.reboot ? 1u : 2u));
    }
}

TEST_CASE("RunChain: a prerequisite found again before a restart stays selected") {
    // "rR": the installer's prerequisite is detected again and found, the
    // restart follows, and the run ends before the re-detection that would
    // deselect it (found by fuzzing the whole chain).
    FakeChainHost host;
    SetupConfig config;
    config.GeneralOptions.Options = L"q";
    config.Prerequisites = {Prereq(L"Boot", L"rR")};
    host.Installers = {{L"C:\\pkg\\Boot.exe", 0}};
    host.Installs = {{L"C:\\pkg\\Boot.exe", L"Boot"}};
    CHECK(RunChain(config, host) == -1);
    const Prerequisite& boot = config.Prerequisites[0];
    CHECK(boot.Status == Found);
    CHECK(boot.Selected);
    CHECK(PlannedStatus(boot, host.Fake) == InstallFromPackage);
    CHECK_FALSE(Contains(host.Events, L"delete key"));
}

TEST_CASE("InstallAll with a sink: status texts, cancel, the reboot question") {
    SUBCASE("status texts and a cancel before the second installer") {
        Installing run(L"b", {Prereq(L"One"), Prereq(L"Two")});
        run.host.Installers = {{L"C:\\pkg\\One.exe", 0}, {L"C:\\pkg\\Two.exe", 0}};
        RecordingSink sink;
        sink.CancelAfter = 1;
        run.Run(&sink);
        CHECK(sink.Texts == std::vector<WideString>{L"Installing One"});
        CHECK(run.Launches().size() == 1);
    }
    SUBCASE("a No to the reboot question is remembered") {
        Installing run(L"b", {Prereq(L"Boot", L"r"), Prereq(L"After")});
        run.host.Installers = {{L"C:\\pkg\\Boot.exe", 0}, {L"C:\\pkg\\After.exe", 0}};
        run.host.AnswerNo = true;
        RecordingSink sink;
        ChainRunner& runner = run.Run(&sink);
        CHECK(Contains(run.host.Events, L"reboot question"));
        CHECK(runner.Queue.RebootRequired);
        CHECK(runner.Queue.RebootRefused);
        CHECK(run.Launches().size() == 1);
    }
    SUBCASE("a shutdown in progress starts nothing more") {
        Installing run(L"q", {Prereq(L"One")});
        run.host.Installers = {{L"C:\\pkg\\One.exe", 0}};
        for (size_t i = 0; i < run.config.Prerequisites.size(); ++i) {
            DetectPrerequisite(run.config.Prerequisites, i, false, run.host.Fake);
        }
        ChainRunner runner(run.config, run.host);
        runner.ShutdownInProgress = true;
        InstallAll(runner, nullptr);
        CHECK(run.Launches().empty());
        CHECK(runner.Queue.Jobs.size() == 1);
    }
}

TEST_CASE("OpenSites: only what is planned as a site, after the registration") {
    Installing run(L"q", {Prereq(L"Site", L"", LocationOpenSite), Prereq(L"Child", L"", LocationOpenSite),
                          Prereq(L"Pkg")});
    run.config.Prerequisites[1].ParentPrereq = L"Site";
    run.host.Fake.Present = {L"Site"};  // found: its child is missing but not selected through it
    for (size_t i = 0; i < run.config.Prerequisites.size(); ++i) {
        DetectPrerequisite(run.config.Prerequisites, i, false, run.host.Fake);
    }
    ChainRunner runner(run.config, run.host);
    SelectPrerequisite(run.config.Prerequisites, 1, false, run.host.Fake);
    run.host.Events.clear();
    run.host.Fake.Lines.clear();
    RecordingSink sink;
    OpenSites(runner, &sink);
    CHECK(run.host.Events == std::vector<WideString>{kRegister});
    CHECK(run.host.Fake.Lines.empty());

    SelectPrerequisite(run.config.Prerequisites, 1, true, run.host.Fake);
    run.host.Events.clear();
    run.host.Fake.Lines.clear();
    OpenSites(runner, &sink);
    CHECK(run.host.Events == std::vector<WideString>{kRegister, L"site http://host/Child.exe"});
    CHECK(run.host.Fake.Lines == std::vector<WideString>{L"Launching URL:http://host/Child.exe"});
    CHECK(sink.Texts == std::vector<WideString>{L"Opening site of Child"});
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
