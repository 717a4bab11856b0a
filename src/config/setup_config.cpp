#include "config/setup_config.h"

#include "base/ascii_case.h"
#include "base/number_text.h"

#include <algorithm>
#include <vector>

#include "fs/paths.h"

namespace {

// Items sorted by name, equal names kept in their original order, so that
// the first of equal names is found, as the document's own lookups do, in
// logarithmic time: a section of many numbered keys, or a file of many
// sections, then loads in n log n rather than quadratic time.
template <class Item>
class FirstWinsIndex {
public:
    void Add(WideView name, const Item* item) { items_.push_back({name, item}); }
    void Sort() {
        std::stable_sort(items_.begin(), items_.end(), [](const Slot& a, const Slot& b) { return a.name < b.name; });
    }
    const Item* Find(WideView name) const {
        auto found = std::lower_bound(items_.begin(), items_.end(), name,
                                      [](const Slot& slot, WideView n) { return slot.name < n; });
        return found != items_.end() && found->name == name ? found->item : nullptr;
    }

private:
    struct Slot {
        WideView name;
        const Item* item;
    };
    std::vector<Slot> items_;
};

class EntryIndex {
public:
    explicit EntryIndex(const IniSection& section) {
        for (const IniEntry& entry : section.Entries) index_.Add(entry.Key, &entry.Value);
        index_.Sort();
    }
    const WideView* Find(WideView key) const { return index_.Find(key); }
    bool Get(WideView key, WideString& value) const {
        const WideView* found = Find(key);
        if (found) value.assign(found->data(), found->size());
        return found != nullptr;
    }

private:
    FirstWinsIndex<WideView> index_;
};

WideString Numbered(const wchar_t* key, uint32_t n) { return key + UnsignedText(n); }

void ReadGeneralOptions(const IniDocument& document, GeneralOptions& options) {
    const IniSection* section = document.FindSection(L"GeneralOptions");
    if (!section) return;
    const EntryIndex keys(*section);
    keys.Get(L"MainAppCmdLine", options.MainAppCmdLine);
    keys.Get(L"Options", options.Options);
    keys.Get(L"UpdatesUrl", options.UpdatesUrl);
    keys.Get(L"ProductVersion", options.ProductVersion);
    keys.Get(L"MinWIVer", options.MinWIVer);
    keys.Get(L"DownloadFolder", options.DownloadFolder);
    keys.Get(L"MainAppURL", options.MainAppURL);
    keys.Get(L"LanguageList", options.LanguageList);
    if (keys.Get(L"ExtractionFolder", options.ExtractionFolder)) {
        options.ExtractionFolder = NormalizePath(options.ExtractionFolder);
        AppendBackslash(options.ExtractionFolder);
    }
    WideString text;
    if (keys.Get(L"KeepFiles", text)) {
        if (text == L"complete") options.KeepFiles = kKeepFilesComplete;
        else if (text == L"minimum") options.KeepFiles = kKeepFilesMinimum;
        else if (text == L"prereqs") options.KeepFiles = kKeepFilesPrereqs;
        else options.KeepFiles = 0;
    }
    if (keys.Get(L"PackJars", text)) options.PackJars = EqualsIgnoringAsciiCase(text, L"true");
    if (keys.Get(L"AllPlatforms", text)) options.AllPlatforms = EqualsIgnoringAsciiCase(text, L"true");
    if (keys.Get(L"Is64PlatformTransf", text)) options.Is64PlatformTransf = EqualsIgnoringAsciiCase(text, L"true");
    keys.Get(L"Langs", options.Langs);
    keys.Get(L"PackageCode", options.PackageCode);
    keys.Get(L"ProductCode", options.ProductCode);
    keys.Get(L"DefaultProdCode", options.DefaultProdCode);
    keys.Get(L"UpgradeCode", options.UpgradeCode);
    if (keys.Get(L"ExtUIStub", text)) options.ExtUIStub = !text.empty();
    keys.Get(L"SaveExtUIStub", options.SaveExtUIStub);
    keys.Get(L"FileExtractFirst", options.FileExtractFirst);
}

// False when the section is broken: no location key, or a search type
// without its search string.
bool ReadPrerequisite(const IniSection& section, Prerequisite& prereq) {
    const EntryIndex keys(section);
    keys.Get(L"VerMin", prereq.VerMin);
    keys.Get(L"VerMax", prereq.VerMax);
    keys.Get(L"Win9xVersions", prereq.Win9xVersions);
    keys.Get(L"WinNTVersions", prereq.WinNTVersions);
    keys.Get(L"WinNT64Versions", prereq.WinNT64Versions);
    if (keys.Get(L"SetupFile", prereq.Location)) {
        prereq.LocationKind = LocationSetupFile;
    } else if (keys.Get(L"OpenSite", prereq.Location)) {
        prereq.LocationKind = LocationOpenSite;
    } else if (keys.Get(L"Url", prereq.Location)) {
        prereq.LocationKind = LocationUrl;
    } else {
        return false;
    }
    WideString text;
    if (keys.Get(L"ExactSize", text)) prereq.ExactSize = ParseInt(text);
    keys.Get(L"MD5", prereq.MD5);
    if (keys.Get(L"Operator", text)) prereq.Operator = ParseInt(text);
    keys.Get(L"CommandLine", prereq.CommandLine);
    keys.Get(L"BasicUiCommandLine", prereq.BasicUiCommandLine);
    keys.Get(L"NoUiCommandLine", prereq.NoUiCommandLine);
    keys.Get(L"Options", prereq.Options);
    keys.Get(L"RetValPropName", prereq.RetValPropName);
    keys.Get(L"ParentPrereq", prereq.ParentPrereq);
    keys.Get(L"Folder", prereq.Folder);
    keys.Get(L"LanguageList", prereq.LanguageList);

    for (uint32_t k = 1;; ++k) {
        const WideView* type = keys.Find(Numbered(L"SearchType", k));
        if (!type) break;
        PrereqSearch search;
        search.SearchType = ParseInt(WideString(*type));
        if (!keys.Get(Numbered(L"SearchString", k), search.SearchString)) return false;
        keys.Get(Numbered(L"VerMin", k), search.VerMin);
        keys.Get(Numbered(L"VerMax", k), search.VerMax);
        keys.Get(Numbered(L"RefContent", k), search.RefContent);
        keys.Get(Numbered(L"SearchCmdLine", k), search.SearchCmdLine);
        prereq.Searches.push_back(std::move(search));
    }
    return true;
}

}  // namespace

int32_t ParseInt(const WideString& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    bool negative = false;
    if (i < text.size() && text[i] == L'-') {
        negative = true;
        ++i;
    }
    if (i < text.size() && text[i] == L'+') ++i;
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10u + static_cast<uint32_t>(text[i] - L'0');
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

bool ChainerOptions::Read(const IniDocument& document) {
    const IniSection* section = document.FindSection(L"PREREQ_CHAINER");
    if (!section) return false;
    const EntryIndex keys(*section);
    keys.Get(L"CleanupFiles", CleanupFiles);
    keys.Get(L"CleanupFolders", CleanupFolders);
    keys.Get(L"LogFile", LogFile);
    return true;
}

WideString SetupConfig::PackageFilePath(const WideString& fileName) {
    if (fileName.empty()) return WideString();
    if (IsAbsolutePath(fileName)) return fileName;
    return ExtractionFolderPath() + fileName;
}

void SetupConfig::Load(const IniDocument& document, ConfigEnvironment& environment) {
    environment_ = &environment;
    ReadGeneralOptions(document, GeneralOptions);

    const IniSection* list = document.FindSection(L"PREREQUISITES");
    if (!list) return;
    const EntryIndex apps(*list);
    // The first section of each name, for the same reason as EntryIndex.
    FirstWinsIndex<IniSection> sections;
    for (const IniSection& section : document.Sections) sections.Add(section.Name, &section);
    sections.Sort();

    for (uint32_t n = 1;; ++n) {
        const WideView* name = apps.Find(Numbered(L"App", n));
        if (!name) return;
        const IniSection* section = sections.Find(*name);
        if (!section) return;

        Prerequisite prereq;
        prereq.Name = *name;
        if (!ReadPrerequisite(*section, prereq)) return;

        if (!prereq.LanguageList.empty() && prereq.LanguageList.back() != L';') prereq.LanguageList += L';';
        if (prereq.LocationKind == LocationUrl || prereq.LocationKind == LocationOpenSite) {
            prereq.Location = environment.ExpandReferences(prereq.Location);
        }
        prereq.Status = Undefined;
        prereq.Downloaded = false;
        prereq.Selected = false;
        prereq.SkipDetection = prereq.HasOption(L'i');
        Prerequisites.push_back(std::move(prereq));
    }
}

bool SetupConfig::IsSilentMode() const { return GeneralOptions.Options.find(L'q') != WideString::npos; }

bool SetupConfig::IsBasicUiMode() const { return GeneralOptions.Options.find(L'b') != WideString::npos; }

WideString SetupConfig::ResolveFolder(const WideString& configured) {
    WideString folder;
    if (!configured.empty()) {
        folder = NormalizePath(environment_ ? environment_->ExpandReferences(configured) : configured);
    } else {
        folder = environment_ ? environment_->TempFolder() : WideString();
        folder += GeneralOptions.DefaultProdCode;
    }
    AppendBackslash(folder);
    return folder;
}

const WideString& SetupConfig::DownloadFolderPath() {
    if (!downloadResolved_) {
        downloadFolderPath_ = ResolveFolder(GeneralOptions.DownloadFolder);
        downloadResolved_ = true;
    }
    return downloadFolderPath_;
}

const WideString& SetupConfig::ExtractionFolderPath() {
    if (!extractionResolved_) {
        extractionFolderPath_ = ResolveFolder(GeneralOptions.ExtractionFolder);
        extractionResolved_ = true;
    }
    return extractionFolderPath_;
}
