#include "detect/decision.h"

#include "base/number_text.h"
#include "config/setup_config.h"

namespace {

bool IsMissing(int32_t status) {
    return status == InstallFromPackage || status == Download || status == VisitSite;
}

// The list's items are separated by ", " exactly; they are not trimmed, an
// empty list has none, and a separator at the end adds no empty item.
bool ListNames(const WideString& list, const WideString& name) {
    const WideString separator = L", ";
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(separator, start);
        if (end == WideString::npos) end = list.size();
        if (list.compare(start, end - start, name) == 0 && end - start == name.size()) return true;
        start = end + separator.size();
    }
    return false;
}

bool MatchesLanguageFilter(const Prerequisite& prereq, DecisionHost& host) {
    if (prereq.LanguageList.empty()) return true;
    const uint16_t langId = host.SystemDefaultLangId();
    host.LogLine(L"SystemDefault LangID=" + UnsignedText(langId) + L"-" + host.LanguageName(langId));
    return LanguageListMatches(prereq.LanguageList, langId);
}

}  // namespace

const wchar_t* StatusText(int32_t status) {
    switch (status) {
        case Found: return L"An acceptable version was found.";
        case InstallFromPackage: return L"No acceptable version found. It must be installed from package.";
        case Download: return L"No acceptable version found. It must be downloaded.";
        case VisitSite:
        case NotApplicable: return L"No acceptable version found. It must be downloaded manually from a site.";
        case AlreadyDownloaded:
            return L"No acceptable version found. It is already downloaded and it will be installed.";
        case NotFound: return L"No acceptable version found.";
        case NotSelected: return L"Not selected for install.";
        default: return L"Undefined";
    }
}

bool MatchesWindowsFilter(const Prerequisite& prereq, const WideString& versionName, PlatformClass platform) {
    const WideString* list = &prereq.WinNTVersions;
    const wchar_t* wholeList = L"Windows 9x/ME/NT/2000/XP/Vista/Windows 7/Windows 8 x86/Windows 8.1 x86";
    if (platform == WinNT64) {
        list = &prereq.WinNT64Versions;
        wholeList = L"Windows XP/Vista/Windows 7/Windows 8 x64/Windows 8.1 x64";
    } else if (platform == Win9x) {
        // The 9x family's own list is the one that can name it whole.
        list = &prereq.Win9xVersions;
        wholeList = L"Windows 9x/ME";
    }
    if (*list == wholeList) return false;
    return !ListNames(*list, versionName);
}

bool LanguageListMatches(const WideString& languageList, uint16_t langId) {
    size_t start = 0;
    for (;;) {
        const size_t end = languageList.find(L';', start);
        if (end == WideString::npos) return false;
        const int32_t value = ParseInt(languageList.substr(start, end - start));
        if (static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF) == langId) return true;
        start = end + 1;
    }
}

void DetectPrerequisite(PrereqList& list, size_t index, bool recheck, DecisionHost& host) {
    Prerequisite& prereq = list[index];
    if (prereq.Status == NotApplicable) return;

    if (!MatchesWindowsFilter(prereq, host.WindowsVersionName(), host.GetPlatformClass()) ||
        !MatchesLanguageFilter(prereq, host)) {
        host.LogLine(L"Wrong OS or Os language for:" + prereq.Name);
        prereq.Status = NotApplicable;
        return;
    }

    const bool view64 = prereq.HasOption(L'x');
    host.LogLine(L"Searching for:" + prereq.Name);
    if (recheck && prereq.SkipDetection) {
        prereq.Status = Found;
        return;
    }

    const bool found = !prereq.SkipDetection && host.EvaluateSearches(prereq, view64);
    if (found) {
        prereq.Status = Found;
    } else if (prereq.LocationKind == LocationUrl) {
        prereq.Status = Download;
    } else if (prereq.LocationKind == LocationOpenSite) {
        prereq.Status = VisitSite;
    } else {
        prereq.Status = InstallFromPackage;
    }
    host.LogLine(WideString(L"Search result:") + StatusText(prereq.Status));
}

void SelectPrerequisite(PrereqList& list, size_t index, bool selected, DecisionHost& host) {
    // Parents and children select each other; a long ParentPrereq chain must
    // not exhaust the stack, so the recursion is kept on a list of frames.
    // Each frame visits the children first, then the parent, exactly as the
    // recursive form would.
    struct Frame {
        size_t Index;
        bool Flag;
        size_t NextChild;
        bool ParentDone;
    };
    auto enter = [&](std::vector<Frame>& stack, size_t i, bool flag) {
        Prerequisite& prereq = list[i];
        if (prereq.Selected == flag) return;
        prereq.Selected = flag;
        if (flag) host.LogLine(L"Prerequisite selected for install:" + prereq.Name);
        stack.push_back(Frame{i, flag, 0, false});
    };

    std::vector<Frame> stack;
    enter(stack, index, selected);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const Prerequisite& prereq = list[frame.Index];
        bool descended = false;
        while (frame.NextChild < list.size()) {
            const size_t c = frame.NextChild++;
            const Prerequisite& child = list[c];
            if (c == frame.Index || child.Status == NotApplicable || child.ParentPrereq != prereq.Name) continue;
            const size_t depth = stack.size();
            const bool flag = frame.Flag && IsMissing(child.Status);
            enter(stack, c, flag);  // may move the frames: `frame` is not used after this
            if (stack.size() != depth) {
                descended = true;
                break;
            }
        }
        if (descended) continue;
        if (!frame.ParentDone) {
            frame.ParentDone = true;
            if (frame.Flag && !prereq.ParentPrereq.empty()) {
                const size_t depth = stack.size();
                for (size_t p = 0; p < list.size(); ++p) {
                    if (list[p].Name != prereq.ParentPrereq) continue;
                    // "Neither not applicable nor found": after detection the
                    // same as missing. Asking for missing also keeps a cycle
                    // through an undetected prerequisite from flipping for ever.
                    if (IsMissing(list[p].Status)) {
                        enter(stack, p, true);  // may move the frames, as above
                    }
                    break;
                }
                if (stack.size() != depth) continue;
            }
        }
        stack.pop_back();
    }
}

bool AnyPrerequisiteMissing(const PrereqList& list) {
    for (const Prerequisite& prereq : list) {
        if (IsMissing(prereq.Status)) return true;
    }
    return false;
}

PrereqStatus EffectiveStatus(const Prerequisite& prereq) {
    if (prereq.Status == Download && prereq.Downloaded) return AlreadyDownloaded;
    return prereq.Status;
}

PrereqStatus PlannedStatus(const Prerequisite& prereq, DecisionHost& host) {
    if (!prereq.Selected) return NotSelected;
    if (prereq.Status != Found) return EffectiveStatus(prereq);
    if (prereq.LocationKind == LocationUrl) return host.IsDownloadAvailable(prereq) ? AlreadyDownloaded : Download;
    if (prereq.LocationKind == LocationOpenSite) return VisitSite;
    return InstallFromPackage;
}

PrereqStatus RecomputeDownloaded(Prerequisite& prereq, DecisionHost& host) {
    const PrereqStatus effective = EffectiveStatus(prereq);
    if (effective != Download && effective != AlreadyDownloaded) return effective;
    prereq.Downloaded = host.IsDownloadAvailable(prereq);
    return EffectiveStatus(prereq);
}

void ApplySelectionRule(PrereqList& list, size_t index, DecisionHost& host) {
    const PrereqStatus effective = RecomputeDownloaded(list[index], host);
    const bool select = IsMissing(effective) || effective == AlreadyDownloaded;
    SelectPrerequisite(list, index, select, host);
}
