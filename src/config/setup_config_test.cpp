#include "config/setup_config.h"

#include <string>
#include <vector>

#include "test/doctest_main.h"

namespace {

// Expands only "[TempFolder]", enough to see where expansion is applied.
class FakeEnvironment : public ConfigEnvironment {
public:
    std::vector<WideString> expanded;
    WideString ExpandReferences(const WideString& text) override {
        expanded.push_back(text);
        WideString out = text;
        const WideString ref = L"[TempFolder]";
        for (size_t at; (at = out.find(ref)) != WideString::npos;) out.replace(at, ref.size(), L"C:\\Temp\\");
        return out;
    }
    WideString TempFolder() override { return L"C:\\Temp\\"; }
};

WideString Lines(std::initializer_list<const wchar_t*> lines) {
    WideString text;
    for (const wchar_t* line : lines) text += WideString(line) + L"\r\n";
    return text;
}

struct Loaded {
    IniDocument doc;
    FakeEnvironment env;
    SetupConfig config;
    explicit Loaded(const WideString& text) {
        doc.Parse(text);
        config.Load(doc, env);
    }
    std::vector<WideString> Names() const {
        std::vector<WideString> names;
        for (const Prerequisite& p : config.Prerequisites) names.push_back(p.Name);
        return names;
    }
};

using Names = std::vector<WideString>;

}  // namespace

TEST_CASE("ParseInt") {
    struct Case { const wchar_t* text; int32_t value; };
    const Case cases[] = {
        {L"12", 12},
        {L"  -+12", -12},
        {L"12abc", 12},
        {L"", 0},
        {L"abc", 0},
        {L"-", 0},
        {L"+7", 7},
        {L"+-7", 0},
        {L"--7", 0},
        {L"\t12", 0},            // only spaces are skipped
        {L" 1 2", 1},
        {L"2147483647", 2147483647},
        {L"2147483648", -2147483647 - 1},    // wraps around
        {L"4294967295", -1},
        {L"4294967296", 0},
        {L"-2147483648", -2147483647 - 1},
        {L"123456789012345678901234567890", 1312754386},  // 30 digits, modulo 2^32
        {L"\xFF11" L"2", 0},    // a full-width digit is no digit
    };
    for (const Case& c : cases) {
        CAPTURE(c.text);
        CHECK(ParseInt(c.text) == c.value);
    }
}

TEST_CASE("the prerequisite list ends at the first gap or broken section") {
    struct Case { const char* what; WideString text; Names names; };
    const WideString a = L"[A]\r\nSetupFile=a.exe\r\n";
    const WideString b = L"[B]\r\nUrl=http://x/b.exe\r\n";
    const WideString c = L"[C]\r\nOpenSite=http://x/\r\n";
    const Case cases[] = {
        {"no PREREQUISITES section", a, {}},
        {"no App1", L"[PREREQUISITES]\r\nApp2=A\r\n" + a, {}},
        {"App1 and App3 without App2", L"[PREREQUISITES]\r\nApp1=A\r\nApp3=B\r\n" + a + b, {L"A"}},
        {"App2 names no section", L"[PREREQUISITES]\r\nApp1=A\r\nApp2=Z\r\nApp3=B\r\n" + a + b, {L"A"}},
        {"all three", L"[PREREQUISITES]\r\nApp3=C\r\nApp1=A\r\nApp2=B\r\n" + a + b + c, {L"A", L"B", L"C"}},
        {"no location key", L"[PREREQUISITES]\r\nApp1=A\r\nApp2=D\r\nApp3=B\r\n" + a + L"[D]\r\nMD5=x\r\n" + b,
         {L"A"}},
        {"search type without string",
         L"[PREREQUISITES]\r\nApp1=A\r\nApp2=E\r\nApp3=B\r\n" + a + L"[E]\r\nSetupFile=e\r\nSearchType1=0\r\n" + b,
         {L"A"}},
        {"leading zeros are another key", L"[PREREQUISITES]\r\nApp01=A\r\n" + a, {}},
        {"keys are case-sensitive", L"[PREREQUISITES]\r\napp1=A\r\n" + a, {}},
        {"the same section twice", L"[PREREQUISITES]\r\nApp1=A\r\nApp2=A\r\n" + a, {L"A", L"A"}},
        {"brackets inside a name", L"[PREREQUISITES]\r\nApp1=A]B\r\n[A]B]\r\nSetupFile=x\r\n", {L"A]B"}},
        {"blanks: the value is trimmed, the header is not",
         L"[PREREQUISITES]\r\nApp1= My App \r\nApp2=B\r\n[ My App ]\r\nSetupFile=x\r\n" + b, {}},
        {"blanks around the brackets do not count",
         L"[PREREQUISITES]\r\nApp1=My App\r\n  [My App]  \r\nSetupFile=x\r\n", {L"My App"}},
        {"App10 after App9", [] {
             WideString t = L"[PREREQUISITES]\r\n";
             for (int i = 1; i <= 10; ++i) t += L"App" + std::to_wstring(i) + L"=A\r\n";
             return t + L"[A]\r\nSetupFile=a\r\n";
         }(), Names(10, L"A")},
    };
    for (const Case& cs : cases) {
        CAPTURE(cs.what);
        Loaded loaded(cs.text);
        CHECK(loaded.Names() == cs.names);
    }
}

TEST_CASE("a prerequisite's fields") {
    Loaded loaded(Lines({
        L"[PREREQUISITES]", L"App1=Runtime", L"App2=Site", L"App3=Web",
        L"[Runtime]", L"VerMin=1.0", L"VerMax=2.0", L"Win9xVersions=Windows 98", L"WinNTVersions=Windows 2000",
        L"WinNT64Versions=Windows 7 x64", L"Url=http://u/[TempFolder]", L"SetupFile=runtime.exe",
        L"OpenSite=http://site/", L"ExactSize=  -+12", L"MD5=abc", L"Operator=1", L"CommandLine=/full",
        L"BasicUiCommandLine=/basic", L"NoUiCommandLine=/quiet", L"Options=ixm", L"RetValPropName=RT_RET",
        L"ParentPrereq=Site", L"Folder=sub", L"LanguageList=1033",
        L"SearchType1=0", L"SearchString1=HKLM\\A\\B", L"VerMin1=1", L"VerMax1=2", L"RefContent1=r",
        L"SearchCmdLine1=c", L"SearchType2=3", L"SearchString2=C:\\x.dll", L"SearchType4=1",
        L"SearchString4=never read",
        L"[Site]", L"OpenSite=http://[TempFolder]x", L"Url=http://ignored", L"LanguageList=1033;1031;",
        L"[Web]", L"Url=ftp://[TempFolder]", L"Options=I", L"SearchType1=7", L"SearchString1=",
    }));
    REQUIRE(loaded.config.Prerequisites.size() == 3);
    const Prerequisite& p = loaded.config.Prerequisites[0];
    CHECK(p.Name == L"Runtime");
    CHECK(p.VerMin == L"1.0");
    CHECK(p.VerMax == L"2.0");
    CHECK(p.Win9xVersions == L"Windows 98");
    CHECK(p.WinNTVersions == L"Windows 2000");
    CHECK(p.WinNT64Versions == L"Windows 7 x64");
    CHECK(p.LocationKind == LocationSetupFile);
    CHECK(p.Location == L"runtime.exe");
    CHECK(p.ExactSize == -12);
    CHECK(p.MD5 == L"abc");
    CHECK(p.Operator == 1);
    CHECK(p.CommandLine == L"/full");
    CHECK(p.BasicUiCommandLine == L"/basic");
    CHECK(p.NoUiCommandLine == L"/quiet");
    CHECK(p.RetValPropName == L"RT_RET");
    CHECK(p.ParentPrereq == L"Site");
    CHECK(p.Folder == L"sub");
    CHECK(p.LanguageList == L"1033;");
    CHECK(p.SkipDetection);
    CHECK(p.Status == Undefined);
    CHECK_FALSE(p.Downloaded);
    CHECK_FALSE(p.Selected);
    REQUIRE(p.Searches.size() == 2);  // SearchType3 is missing: 4 is never read
    CHECK(p.Searches[0].SearchType == 0);
    CHECK(p.Searches[0].SearchString == L"HKLM\\A\\B");
    CHECK(p.Searches[0].VerMin == L"1");
    CHECK(p.Searches[0].VerMax == L"2");
    CHECK(p.Searches[0].RefContent == L"r");
    CHECK(p.Searches[0].SearchCmdLine == L"c");
    CHECK(p.Searches[1].SearchType == 3);
    CHECK(p.Searches[1].VerMin.empty());

    const Prerequisite& site = loaded.config.Prerequisites[1];
    CHECK(site.LocationKind == LocationOpenSite);
    CHECK(site.Location == L"http://C:\\Temp\\x");
    CHECK(site.LanguageList == L"1033;1031;");
    CHECK(site.Searches.empty());
    CHECK_FALSE(site.SkipDetection);

    const Prerequisite& web = loaded.config.Prerequisites[2];
    CHECK(web.LocationKind == LocationUrl);
    CHECK(web.Location == L"ftp://C:\\Temp\\");
    CHECK_FALSE(web.SkipDetection);  // "I" is not "i"
    REQUIRE(web.Searches.size() == 1);
    CHECK(web.Searches[0].SearchString.empty());

    // A SetupFile location stays as written: only Url and OpenSite expand.
    CHECK(loaded.env.expanded == std::vector<WideString>{L"http://[TempFolder]x", L"ftp://[TempFolder]"});
}

TEST_CASE("general options") {
    Loaded loaded(Lines({
        L"[GeneralOptions]", L"MainAppCmdLine=/m", L"Options=qb", L"UpdatesUrl=u", L"ProductVersion=1.2",
        L"MinWIVer=3.1", L"DownloadFolder=[TempFolder]dl", L"MainAppURL=http://m", L"LanguageList=1033",
        L"ExtractionFolder=C:\\pkg\\.\\files. \\", L"KeepFiles=complete", L"PackJars=TRUE", L"AllPlatforms=True",
        L"Is64PlatformTransf=yes", L"Langs=en", L"PackageCode=P", L"DefaultProdCode={D}", L"ProductCode={P}",
        L"UpgradeCode={U}", L"ExtUIStub=0", L"SaveExtUIStub=s", L"FileExtractFirst=f", L"options=",
    }));
    const GeneralOptions& g = loaded.config.GeneralOptions;
    CHECK(g.MainAppCmdLine == L"/m");
    CHECK(g.Options == L"qb");
    CHECK(g.UpdatesUrl == L"u");
    CHECK(g.ProductVersion == L"1.2");
    CHECK(g.MinWIVer == L"3.1");
    CHECK(g.DownloadFolder == L"[TempFolder]dl");
    CHECK(g.MainAppURL == L"http://m");
    CHECK(g.LanguageList == L"1033");  // no ";" appended here
    CHECK(g.ExtractionFolder == L"C:\\pkg\\files\\");
    CHECK(g.KeepFiles == kKeepFilesComplete);
    CHECK(g.PackJars);
    CHECK(g.AllPlatforms);
    CHECK_FALSE(g.Is64PlatformTransf);
    CHECK(g.Langs == L"en");
    CHECK(g.PackageCode == L"P");
    CHECK(g.DefaultProdCode == L"{D}");
    CHECK(g.ProductCode == L"{P}");
    CHECK(g.UpgradeCode == L"{U}");
    CHECK(g.ExtUIStub);
    CHECK(g.SaveExtUIStub == L"s");
    CHECK(g.FileExtractFirst == L"f");
    CHECK(loaded.config.IsSilentMode());
    CHECK(loaded.config.IsBasicUiMode());

    struct KeepCase { const wchar_t* text; int32_t value; };
    for (const KeepCase& k : {KeepCase{L"complete", 2}, KeepCase{L"minimum", 1}, KeepCase{L"prereqs", 5},
                              KeepCase{L"Complete", 0}, KeepCase{L"", 0}, KeepCase{L"5", 0}}) {
        CAPTURE(k.text);
        Loaded keep(L"[GeneralOptions]\r\nKeepFiles=" + WideString(k.text) + L"\r\n");
        CHECK(keep.config.GeneralOptions.KeepFiles == k.value);
    }

    struct ModeCase { const wchar_t* options; bool silent, basic; };
    for (const ModeCase& m : {ModeCase{L"q", true, false}, ModeCase{L"b", false, true}, ModeCase{L"", false, false},
                              ModeCase{L"QB", false, false}, ModeCase{L"xyzqabc", true, true}}) {
        CAPTURE(m.options);
        Loaded mode(L"[GeneralOptions]\r\nOptions=" + WideString(m.options) + L"\r\n");
        CHECK(mode.config.IsSilentMode() == m.silent);
        CHECK(mode.config.IsBasicUiMode() == m.basic);
    }

    // Every letter at once: both modes, every prerequisite option.
    WideString letters;
    for (wchar_t c = L'a'; c <= L'z'; ++c) letters += c;
    for (wchar_t c = L'A'; c <= L'Z'; ++c) letters += c;
    Loaded all(L"[GeneralOptions]\r\nOptions=" + letters + L"\r\n[PREREQUISITES]\r\nApp1=A\r\n[A]\r\nSetupFile=a\r\nOptions=" +
               letters + L"\r\n");
    CHECK(all.config.IsSilentMode());
    CHECK(all.config.IsBasicUiMode());
    REQUIRE(all.config.Prerequisites.size() == 1);
    CHECK(all.config.Prerequisites[0].SkipDetection);
    for (wchar_t letter : {L'x', L'm', L'r', L'R', L'i'}) CHECK(all.config.Prerequisites[0].HasOption(letter));

    Loaded none(L"[generaloptions]\r\nOptions=q\r\n");
    CHECK_FALSE(none.config.IsSilentMode());
    CHECK(none.config.GeneralOptions.ExtractionFolder.empty());
}

TEST_CASE("resolved folders") {
    struct Case { const wchar_t* text; const wchar_t* folder; };
    const Case cases[] = {
        {L"ExtractionFolder=[TempFolder]sub", L"C:\\Temp\\sub\\"},
        {L"ExtractionFolder=C:\\a\\..\\b", L"C:\\a\\b\\"},
        {L"ExtractionFolder=", L"C:\\Temp\\{PC}\\"},
        {L"Other=1", L"C:\\Temp\\{PC}\\"},
        // Normalised when read, to nothing: the default folder.
        {L"ExtractionFolder=\\ ", L"C:\\Temp\\{PC}\\"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.text);
        Loaded loaded(L"[GeneralOptions]\r\nDefaultProdCode={PC}\r\n" + WideString(c.text) + L"\r\n");
        CHECK(loaded.config.ExtractionFolderPath() == c.folder);
    }

    // A download folder is normalised only when resolved: a text that
    // normalises to nothing leaves the folder empty (found by fuzzing).
    for (const wchar_t* text : {L"\\ ", L"...", L"\\.\\..\\"}) {
        CAPTURE(text);
        Loaded nothing(L"[GeneralOptions]\r\nDownloadFolder=" + WideString(text) + L"\r\n");
        CHECK(nothing.config.DownloadFolderPath().empty());
    }

    Loaded empty(L"[GeneralOptions]\r\nDownloadFolder=[TempFolder]dl\\\r\n");
    CHECK(empty.config.ExtractionFolderPath() == L"C:\\Temp\\");  // no DefaultProdCode
    CHECK(empty.config.DownloadFolderPath() == L"C:\\Temp\\dl\\");
    // Resolved once: later changes to the options do not move the folders.
    empty.config.GeneralOptions.DownloadFolder = L"D:\\else";
    CHECK(empty.config.DownloadFolderPath() == L"C:\\Temp\\dl\\");
}

TEST_CASE("PackageFilePath: the package is the extraction folder") {
    Loaded loaded(L"[GeneralOptions]\r\nExtractionFolder=C:\\Pkg\r\n");
    struct Case { const wchar_t* name; const wchar_t* path; };
    const Case cases[] = {
        {L"check.exe", L"C:\\Pkg\\check.exe"},
        {L"tools\\check.exe", L"C:\\Pkg\\tools\\check.exe"},
        {L"D:\\x\\check.exe", L"D:\\x\\check.exe"},
        {L"\\\\server\\share\\check.exe", L"\\\\server\\share\\check.exe"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        CHECK(loaded.config.PackageFilePath(c.name) == c.path);
    }
}

TEST_CASE("ChainerOptions") {
    IniDocument doc;
    ChainerOptions options;
    doc.Parse(L"[GeneralOptions]\r\nLogFile=x\r\n");
    CHECK_FALSE(options.Read(doc));
    CHECK(options.LogFile.empty());

    doc.Parse(L"[PREREQ_CHAINER]\r\nLogFile=C:\\l.log\r\nCleanupFolders=C:\\pkg\\\r\nCleanupFiles=a\x0001" L"b\r\n"
              L"[PREREQ_CHAINER]\r\nLogFile=second\r\n");
    CHECK(options.Read(doc));
    CHECK(options.LogFile == L"C:\\l.log");
    CHECK(options.CleanupFolders == L"C:\\pkg\\");
    CHECK(options.CleanupFiles == WideString(L"a\x0001" L"b"));
}

TEST_CASE("a configuration of many prerequisites loads in linear time") {
    WideString text = L"[PREREQUISITES]\r\n";
    const int count = 20000;
    for (int i = 1; i <= count; ++i) text += L"App" + std::to_wstring(i) + L"=P" + std::to_wstring(i) + L"\r\n";
    for (int i = 1; i <= count; ++i) {
        text += L"[P" + std::to_wstring(i) + L"]\r\nSetupFile=p.exe\r\n";
        for (int k = 1; k <= 3; ++k) {
            text += L"SearchType" + std::to_wstring(k) + L"=0\r\nSearchString" + std::to_wstring(k) + L"=HKLM\\X\r\n";
        }
    }
    Loaded loaded(text);
    REQUIRE(loaded.config.Prerequisites.size() == count);
    CHECK(loaded.config.Prerequisites.back().Name == L"P20000");
    CHECK(loaded.config.Prerequisites.back().Searches.size() == 3);
}
