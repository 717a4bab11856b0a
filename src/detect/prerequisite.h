#pragma once

#include <cstdint>
#include <vector>

#include "base/wide_string.h"

// What detection concluded about a prerequisite. The stored status takes only
// 0 to 4 and 8; 5 and 7 are derived for the log and the plan.
enum PrereqStatus : int32_t {
    Found = 0,
    InstallFromPackage = 1,
    Download = 2,
    VisitSite = 3,
    NotApplicable = 4,
    AlreadyDownloaded = 5,
    NotFound = 6,
    NotSelected = 7,
    Undefined = 8,
};

// Where a prerequisite's installer comes from.
enum LocationKinds : int32_t {
    LocationSetupFile = 0,
    LocationUrl = 1,
    LocationOpenSite = 2,
};

// One detection search, from the numbered keys SearchType<k>, SearchString<k>...
struct PrereqSearch {
    int32_t SearchType = 0;
    WideString SearchString;
    WideString VerMin;
    WideString VerMax;
    WideString RefContent;
    WideString SearchCmdLine;
};

struct Prerequisite {
    // From the configuration.
    WideString Name;
    WideString VerMin;
    WideString VerMax;
    WideString Location;
    int32_t LocationKind = LocationSetupFile;
    WideString CommandLine;
    WideString BasicUiCommandLine;
    WideString NoUiCommandLine;
    WideString Options;
    WideString MD5;
    int32_t ExactSize = 0;
    WideString Folder;
    WideString RetValPropName;
    WideString ParentPrereq;
    int32_t Operator = 0;
    std::vector<PrereqSearch> Searches;
    WideString Win9xVersions;
    WideString WinNTVersions;
    WideString WinNT64Versions;
    WideString LanguageList;

    // Run time.
    PrereqStatus Status = Undefined;
    bool Downloaded = false;
    bool Selected = false;
    bool SkipDetection = false;

    bool HasOption(wchar_t letter) const { return Options.find(letter) != WideString::npos; }
};
