#pragma once

#include <cstdint>
#include <vector>

#include "base/wide_string.h"
#include "detect/platform.h"
#include "detect/prerequisite.h"

// What the install decision needs from the machine and the rest of the run.
class DecisionHost {
public:
    virtual ~DecisionHost() = default;
    virtual const WideString& WindowsVersionName() = 0;
    virtual PlatformClass GetPlatformClass() = 0;
    virtual uint16_t SystemDefaultLangId() = 0;
    virtual WideString LanguageName(uint16_t langId) = 0;
    virtual bool EvaluateSearches(const Prerequisite& prereq, bool view64) = 0;
    // The prerequisite's download is already on disk (or is a local file).
    virtual bool IsDownloadAvailable(const Prerequisite& prereq) = 0;
    // One log line; the host drops it when logging is off.
    virtual void LogLine(const WideString& text) = 0;
};

using PrereqList = std::vector<Prerequisite>;

const wchar_t* StatusText(int32_t status);

// Whether the prerequisite applies on this Windows: false when its version
// list for this platform class names `versionName`, or is the whole-list text.
bool MatchesWindowsFilter(const Prerequisite& prereq, const WideString& versionName, PlatformClass platform);
// Whether one of the ";"-terminated identifiers of the list is `langId`.
bool LanguageListMatches(const WideString& languageList, uint16_t langId);

void DetectPrerequisite(PrereqList& list, size_t index, bool recheck, DecisionHost& host);
void SelectPrerequisite(PrereqList& list, size_t index, bool selected, DecisionHost& host);
bool AnyPrerequisiteMissing(const PrereqList& list);
PrereqStatus EffectiveStatus(const Prerequisite& prereq);
PrereqStatus PlannedStatus(const Prerequisite& prereq, DecisionHost& host);
// Recomputes Downloaded when the prerequisite is one to download; returns
// the effective status that results.
PrereqStatus RecomputeDownloaded(Prerequisite& prereq, DecisionHost& host);
// After a detection: recomputes Downloaded where it matters and selects the
// prerequisite exactly when something must be done for it.
void ApplySelectionRule(PrereqList& list, size_t index, DecisionHost& host);
