#pragma once

#include <cstdint>
#include <vector>

#include "base/wide_string.h"
#include "detect/prerequisite.h"
#include "detect/registry_path.h"

// What the searches need from the machine. Every operation answers "nothing
// there" on any failure; none of them reports an error.
class SearchMachine {
public:
    virtual ~SearchMachine() = default;

    // Registry. `view64` asks for the 64-bit view where Windows has one.
    virtual bool KeyOpens(const RegistryKeyPath& key, bool view64) = 0;
    // The names of the key's direct subkeys in index order, up to the first
    // that cannot be read; false when the key does not open.
    virtual bool SubkeyNames(const RegistryKeyPath& key, bool view64, std::vector<WideString>& names) = 0;
    // The value's data taken as UTF-16 up to its first NUL, whatever its type.
    virtual bool ValueData(const RegistryKeyPath& key, const WideString& name, bool view64, WideString& text) = 0;
    virtual bool ValueExists(const RegistryKeyPath& key, const WideString& name, bool view64) = 0;
    // REG_SZ as its text, REG_DWORD in unsigned decimal; false otherwise.
    virtual bool ValueText(const RegistryKeyPath& key, const WideString& name, bool view64, WideString& text) = 0;

    // Files.
    virtual std::vector<WideString> FixedDrives() = 0;
    // Whether anything matches the path, which may hold wildcards.
    virtual bool AnyFileMatches(const WideString& path) = 0;
    // The file's version as "%d.%d.%d.%d", or "0.0.0.0" when none can be read.
    virtual WideString FileVersion(const WideString& path) = 0;
    // The folders directly inside `folder` (which ends with "\" or is empty),
    // in the order the file system lists them, without "." and "..".
    virtual std::vector<WideString> Subfolders(const WideString& folder) = 0;
    virtual void DisableRedirection() = 0;
    virtual void RestoreRedirection() = 0;

    // Windows Installer.
    virtual bool ProductVersion(const WideString& productCode, WideString& version) = 0;
    virtual std::vector<WideString> RelatedProducts(const WideString& upgradeCode) = 0;
    virtual bool ComponentInstalled(const WideString& componentCode) = 0;

    // Programs, and the texts they are given.
    virtual WideString ExpandReferences(const WideString& text) = 0;
    virtual WideString PackageFilePath(const WideString& fileName) = 0;
    virtual bool RunProgram(const WideString& program, const WideString& arguments, bool hidden,
                            uint32_t& exitCode) = 0;
};

struct SearchResult {
    std::vector<WideString> FoundValues;
    WideString Value;
    bool Matched = false;
};

// Whether the registry text passes RefContent's comparison: its first
// character is the operator, the rest the operand.
bool RefContentMatches(const WideString& refContent, const WideString& value);

SearchResult EvaluateSearch(const PrereqSearch& search, bool view64, SearchMachine& machine);

// The searches combined under the prerequisite's Operator: 0 all must match,
// 1 any may match, anything else runs them all and is never satisfied.
bool EvaluateSearches(const Prerequisite& prereq, bool view64, SearchMachine& machine);
