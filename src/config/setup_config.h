#pragma once

#include <cstdint>
#include <vector>

#include "base/wide_string.h"
#include "config/ini_document.h"
#include "detect/prerequisite.h"

// The one number conversion for configuration values: leading spaces (U+0020
// only), an optional "-", then an optional "+", then decimal digits up to the
// first other character, in 32-bit arithmetic that wraps around.
int32_t ParseInt(const WideString& text);

// What loading needs from the machine: reference expansion and the
// temporary folder. The Windows build answers from the system.
class ConfigEnvironment {
public:
    virtual ~ConfigEnvironment() = default;
    // "[Folder]", "%Variable%" and "!Registry!" references expanded.
    virtual WideString ExpandReferences(const WideString& text) = 0;
    // The user's temporary folder, ending with "\" (empty when unknown).
    virtual WideString TempFolder() = 0;
};

// KeepFiles values.
const int32_t kKeepFilesComplete = 2;
const int32_t kKeepFilesMinimum = 1;
const int32_t kKeepFilesPrereqs = 5;

struct GeneralOptions {
    WideString MainAppCmdLine;
    WideString Options;
    WideString UpdatesUrl;
    WideString ProductVersion;
    WideString MinWIVer;
    WideString DownloadFolder;
    WideString MainAppURL;
    WideString LanguageList;
    WideString ExtractionFolder;  // normalised, ending with "\" unless empty
    int32_t KeepFiles = 0;
    bool PackJars = false;
    bool AllPlatforms = false;
    bool Is64PlatformTransf = false;
    WideString Langs;
    WideString PackageCode;
    WideString DefaultProdCode;
    WideString ProductCode;
    WideString UpgradeCode;
    bool ExtUIStub = false;
    WideString SaveExtUIStub;
    WideString FileExtractFirst;
};

// The chainer's own section, PREREQ_CHAINER.
struct ChainerOptions {
    WideString CleanupFiles;
    WideString CleanupFolders;
    WideString LogFile;

    // False when the section is absent; the fields then stay empty.
    bool Read(const IniDocument& document);
};

class SetupConfig {
public:
    virtual ~SetupConfig() = default;

    // The local path of a file in the package: the files the package placed
    // in its extraction folder, found the way packaged installers are (an
    // absolute name as written, else below ExtractionFolderPath). Empty for
    // an empty name.
    virtual WideString PackageFilePath(const WideString& fileName);

    std::vector<Prerequisite> Prerequisites;
    ::GeneralOptions GeneralOptions;

    // Reads GeneralOptions, then the prerequisites App1, App2, ... up to the
    // first gap or broken section. Never fails: whatever can be read stays.
    void Load(const IniDocument& document, ConfigEnvironment& environment);

    bool IsSilentMode() const;
    bool IsBasicUiMode() const;

    // The folders, resolved on first use and then kept.
    const WideString& DownloadFolderPath();
    const WideString& ExtractionFolderPath();

private:
    WideString ResolveFolder(const WideString& configured);

    ConfigEnvironment* environment_ = nullptr;
    bool downloadResolved_ = false;
    bool extractionResolved_ = false;
    WideString downloadFolderPath_;
    WideString extractionFolderPath_;
};
