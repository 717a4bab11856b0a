#include "detect/searches.h"

#include "config/setup_config.h"
#include "detect/version.h"

namespace {

bool StartsWith(const WideString& text, const WideString& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const WideString& text, const WideString& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool OnlyDigits(const WideString& text) {
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

// Value searches name a value: the key is what comes before the last "\".
bool ParseValuePath(const WideString& path, RegistryKeyPath& key, WideString& valueName) {
    WideString keyPath;
    if (!SplitRegistryValuePath(path, keyPath, valueName)) return false;
    return ParseRegistryKeyPath(keyPath, key);
}

// The position of a "?" that starts a depth part: the first one that is not
// the first character.
size_t DepthMark(const WideString& text) { return text.size() > 1 ? text.find(L'?', 1) : WideString::npos; }

class FileSearch {
public:
    FileSearch(const PrereqSearch& search, SearchMachine& machine, SearchResult& result)
        : machine_(machine),
          result_(result),
          verMin_(ParseVersion(search.VerMin)),
          verMax_(ParseVersion(search.VerMax)) {}

    // True once a file in range has been found below `folder`.
    bool SearchFolder(WideString folder, const WideString& name, int32_t depth) {
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        const WideString path = folder + name;
        if (machine_.AnyFileMatches(path)) {
            // The version of the path as written: a wildcard name has none.
            const VersionQuad version = ParseVersion(machine_.FileVersion(path));
            result_.FoundValues.push_back(VersionToText(version));
            if (FileVersionInRange(version, verMin_, verMax_)) return true;
        }
        if (depth < 1) return false;
        for (const WideString& sub : machine_.Subfolders(folder)) {
            if (SearchFolder(folder + sub + L'\\', name, depth - 1)) return true;
        }
        return false;
    }

    bool SearchCandidate(WideString candidate) {
        int32_t depth = 0;
        const size_t mark = DepthMark(candidate);
        if (mark != WideString::npos) {
            depth = ParseInt(candidate.substr(mark + 1));
            candidate.erase(mark);
        }
        candidate = machine_.ExpandReferences(candidate);
        const size_t slash = candidate.rfind(L'\\');
        if (slash == WideString::npos) return SearchFolder(WideString(), candidate, depth);
        return SearchFolder(candidate.substr(0, slash + 1), candidate.substr(slash + 1), depth);
    }

private:
    SearchMachine& machine_;
    SearchResult& result_;
    VersionQuad verMin_;
    VersionQuad verMax_;
};

void SearchFiles(const PrereqSearch& search, bool view64, SearchMachine& machine, SearchResult& result) {
    const WideString& text = search.SearchString;
    const size_t mark = DepthMark(text);
    const WideString path = mark == WideString::npos ? text : text.substr(0, mark);

    // A path with a folder, or with a reference that expands into one, is
    // searched where it points; a bare name is looked for on every fixed drive.
    std::vector<WideString> candidates;
    if (path.find_first_of(L"\\]%!") != WideString::npos) {
        candidates.push_back(text);
    } else {
        const WideString depthPart = mark == WideString::npos ? WideString() : text.substr(mark);
        for (const WideString& drive : machine.FixedDrives()) candidates.push_back(drive + path + depthPart);
    }

    if (view64) machine.DisableRedirection();
    FileSearch files(search, machine, result);
    for (const WideString& candidate : candidates) {
        if (files.SearchCandidate(candidate)) break;
    }
    if (view64) machine.RestoreRedirection();

    result.Matched = AcceptableVersionFound(result.FoundValues, search.VerMin, search.VerMax);
}

void AddProductVersion(const WideString& productCode, SearchMachine& machine, SearchResult& result) {
    WideString version;
    if (machine.ProductVersion(productCode, version)) result.FoundValues.push_back(version);
}

}  // namespace

bool RefContentMatches(const WideString& refContent, const WideString& value) {
    if (refContent.empty()) return false;
    const WideString operand = refContent.substr(1);
    switch (refContent[0]) {
        case L'C': return value.find(operand) != WideString::npos;
        case L'X': return value.find(operand) == WideString::npos;
        case L'S': return StartsWith(value, operand);
        case L'E': return EndsWith(value, operand);
        case L'M': return value == operand;
        case L'D': return value != operand;
        case L'G': return OnlyDigits(value) && OnlyDigits(operand) && ParseInt(value) > ParseInt(operand);
        case L'L': return OnlyDigits(value) && OnlyDigits(operand) && ParseInt(value) < ParseInt(operand);
        default: return false;
    }
}

SearchResult EvaluateSearch(const PrereqSearch& search, bool view64, SearchMachine& machine) {
    SearchResult result;
    const WideString& text = search.SearchString;
    RegistryKeyPath key;
    WideString valueName;
    switch (search.SearchType) {
        case 0:
            SearchFiles(search, view64, machine, result);
            return result;
        case 1:
            if (ParseRegistryKeyPath(text, key)) machine.SubkeyNames(key, view64, result.FoundValues);
            break;
        case 2: {
            WideString data;
            if (ParseValuePath(text, key, valueName) && machine.ValueData(key, valueName, view64, data)) {
                result.FoundValues.push_back(data);
            }
            break;
        }
        case 3:
            AddProductVersion(text, machine, result);
            break;
        case 4:
            for (const WideString& product : machine.RelatedProducts(text)) AddProductVersion(product, machine, result);
            break;
        case 5:
        case 6: {
            const bool opens = ParseRegistryKeyPath(text, key) && machine.KeyOpens(key, view64);
            result.Matched = search.SearchType == 5 ? opens : !opens;
            return result;
        }
        case 7:
        case 8: {
            const bool exists = ParseValuePath(text, key, valueName) && machine.ValueExists(key, valueName, view64);
            result.Matched = search.SearchType == 7 ? exists : !exists;
            return result;
        }
        case 9:
            result.Matched = ParseValuePath(text, key, valueName) &&
                             machine.ValueText(key, valueName, view64, result.Value) &&
                             RefContentMatches(search.RefContent, result.Value);
            return result;
        case 10: {
            const WideString program = machine.PackageFilePath(text);
            // The shell may hand a document or a folder to a program that is
            // already running; there is then no exit code to wait for, and
            // that must not read as success.
            uint32_t exitCode = 1;
            result.Matched = !program.empty() &&
                             machine.RunProgram(program, machine.ExpandReferences(search.SearchCmdLine),
                                                search.RefContent == L"WND_HIDE", exitCode) &&
                             exitCode == 0;
            return result;
        }
        case 11:
            result.Matched = machine.ComponentInstalled(text);
            return result;
        default:
            result.Matched = true;
            return result;
    }
    // The types that collect versions.
    result.Matched = AcceptableVersionFound(result.FoundValues, search.VerMin, search.VerMax);
    return result;
}

bool EvaluateSearches(const Prerequisite& prereq, bool view64, SearchMachine& machine) {
    const bool all = prereq.Operator == 0;
    bool result = all;
    for (const PrereqSearch& search : prereq.Searches) {
        const bool matched = EvaluateSearch(search, view64, machine).Matched;
        if (all) {
            result = result && matched;
        } else if (prereq.Operator == 1) {
            result = result || matched;
        }
        if (all ? !result : result) break;
    }
    return result;
}
