// libFuzzer target: a configuration through reference expansion, every
// search type's string parsing, the install decision with its parent/child
// selection, and the chain run, against a made-up machine whose answers
// follow from the texts it is asked about.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/chain_run.h"
#include "config/ini_document.h"
#include "config/setup_config.h"
#include "detect/property_expansion.h"
#include "detect/searches.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

uint32_t Hash(const WideString& text) {
    uint32_t h = 2166136261u;
    for (wchar_t c : text) h = (h ^ static_cast<uint32_t>(c)) * 16777619u;
    return h;
}

class Source : public PropertySource {
public:
    bool FolderProperty(const WideString& name, WideString& folder) override {
        if (Hash(name) % 3 == 0) return false;
        folder = L"C:\\F" + name.substr(0, 3) + L"\\";
        return true;
    }
    WideString EnvironmentValue(const WideString& name) override { return Hash(name) % 2 ? L"[x]%y%!z!" : L""; }
    WideString RegistryValue(const WideString& path) override { return path.size() % 2 ? L"1.2" : L""; }
};

class Environment : public ConfigEnvironment {
public:
    Source source;
    WideString ExpandReferences(const WideString& text) override { return ::ExpandReferences(text, source); }
    WideString TempFolder() override { return L"C:\\Temp\\"; }
};

class Machine : public SearchMachine {
public:
    Source source;
    int RedirectionDepth = 0;
    size_t Visits = 0;
    bool Yes(const WideString& text, uint32_t salt) { return (Hash(text) ^ salt) % 3 == 0; }
    bool KeyOpens(const RegistryKeyPath& key, bool) override { return Yes(key.SubKey, key.Root); }
    bool SubkeyNames(const RegistryKeyPath& key, bool, std::vector<WideString>& names) override {
        if (!Yes(key.SubKey, 1)) return false;
        names.push_back(key.SubKey.substr(0, 5));
        return true;
    }
    bool ValueData(const RegistryKeyPath& key, const WideString& name, bool, WideString& text) override {
        text = name;
        return Yes(key.SubKey + name, 2);
    }
    bool ValueExists(const RegistryKeyPath& key, const WideString& name, bool) override {
        return Yes(key.SubKey + name, 3);
    }
    bool ValueText(const RegistryKeyPath& key, const WideString& name, bool, WideString& text) override {
        text = key.SubKey.substr(0, 4);
        return Yes(name, 4);
    }
    std::vector<WideString> FixedDrives() override { return {L"C:\\", L"D:\\"}; }
    bool AnyFileMatches(const WideString& path) override {
        ++Visits;
        return Yes(path, 5);
    }
    WideString FileVersion(const WideString& path) override { return path.size() % 2 ? L"1.2.3.4" : L"0.0.0.0"; }
    std::vector<WideString> Subfolders(const WideString& folder) override {
        // A finite tree: two folders per level, eight levels deep.
        if (folder.size() > 24) return {};
        return {L"a", L"b"};
    }
    void DisableRedirection() override { ++RedirectionDepth; }
    void RestoreRedirection() override { --RedirectionDepth; }
    bool ProductVersion(const WideString& code, WideString& version) override {
        version = code.substr(0, 7);
        return Yes(code, 6);
    }
    std::vector<WideString> RelatedProducts(const WideString& code) override {
        return Yes(code, 7) ? std::vector<WideString>{code, code + L"1"} : std::vector<WideString>{};
    }
    bool ComponentInstalled(const WideString& code) override { return Yes(code, 8); }
    WideString ExpandReferences(const WideString& text) override { return ::ExpandReferences(text, source); }
    WideString PackageFilePath(const WideString& name) override { return name; }
    bool RunProgram(const WideString& program, const WideString&, bool, uint32_t& exitCode) override {
        exitCode = Hash(program) % 2;
        return true;
    }
};

class FuzzDecisions : public DecisionHost {
public:
    Machine machine;
    WideString name = L"Windows 7 x86 Service Pack 1";
    const WideString& WindowsVersionName() override { return name; }
    PlatformClass GetPlatformClass() override { return WinNT; }
    uint16_t SystemDefaultLangId() override { return 1033; }
    WideString LanguageName(uint16_t) override { return L"English"; }
    bool EvaluateSearches(const Prerequisite& p, bool view64) override {
        const bool found = ::EvaluateSearches(p, view64, machine);
        Check(machine.RedirectionDepth == 0);
        return found;
    }
    bool IsDownloadAvailable(const Prerequisite& p) override { return p.Location.size() % 2 == 0; }
    void LogLine(const WideString&) override {}
};

class Store : public RegistryStore {
public:
    Store() : RegistryStore("InterbootContext") {}
    int32_t SetString(const NarrowText&, const NarrowText&) override { return kOk; }
    int32_t GetString(const NarrowText&, NarrowText&) override { return kFailed; }
};

class Host : public ChainHost {
public:
    FuzzDecisions decisions;
    Store store;
    WideString extraction = L"C:\\pkg\\";
    size_t launches = 0;
    DecisionHost& Decisions() override { return decisions; }
    void ShowPreparing(uint32_t) override {}
    void ClosePreparing() override {}
    void RunDetection(void (*job)(void*), void* context) override { job(context); }
    void DeleteInterbootKey() override {}
    RegistryStore& InterbootStore() override { return store; }
    const WideString& ExtractionFolderPath() override { return extraction; }
    bool LaunchFile(const WideString& path, const WideString&, uint32_t& exitCode, uint32_t& error) override {
        ++launches;
        exitCode = Hash(path);
        error = 2;
        return Hash(path) % 5 != 0;
    }
    WideString ExpandReferences(const WideString& text) override { return ::ExpandReferences(text, decisions.machine.source); }
    void Sleep(uint32_t) override {}
    bool RequestReboot(bool, bool&) override { return true; }
    bool RegisterRunAtLogon(const WideString&, const WideString&) override { return false; }
    NarrowText AnsiText(const WideString& text) override {
        NarrowText out;
        for (wchar_t c : text) out += static_cast<char>(c & 0x7F);
        return out;
    }
    WideString StringText(uint32_t) override { return L"%s"; }
    WideString SystemErrorText(uint32_t) override { return L"error"; }
    void OpenSite(const WideString&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IniDocument doc;
    if (size >= 2) doc.ParseBytes(data + 2, size - 2);
    Environment environment;
    SetupConfig config;
    config.Load(doc, environment);

    // Expansion never grows a text beyond what its references can add.
    for (const Prerequisite& p : config.Prerequisites) {
        for (const PrereqSearch& s : p.Searches) {
            const WideString expanded = ::ExpandReferences(s.SearchString, environment.source);
            Check(expanded.size() <= s.SearchString.size() * 9 + 16);
        }
    }

    Host host;
    const int32_t exitCode = RunChain(config, host);
    Check(exitCode == 0 || exitCode == 1 || exitCode == -1);
    // Every installer runs at most once per run.
    Check(host.launches <= config.Prerequisites.size());
    for (const Prerequisite& p : config.Prerequisites) {
        Check(p.Status <= NotApplicable);
        Check(!(p.Selected && p.Status == NotApplicable));
        // Only what is missing stays selected; the one exception is a
        // prerequisite found again after its installer ("rR") when the run
        // then ends for the restart, before the re-detection that would
        // deselect it (found by fuzzing).
        const bool missing = p.Status == InstallFromPackage || p.Status == Download || p.Status == VisitSite;
        Check(!p.Selected || missing || (exitCode == -1 && p.Status == Found));
    }
    return 0;
}
