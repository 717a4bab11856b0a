#pragma once

#include "config/setup_config.h"
#include "detect/platform_win.h"
#include "detect/property_resolver_win.h"
#include "detect/searches.h"

// The searches' view of the real machine.
class WinSearchMachine : public SearchMachine {
public:
    WinSearchMachine(PropertyResolver& resolver, SetupConfig& config) : resolver_(resolver), config_(config) {}

    bool KeyOpens(const RegistryKeyPath& key, bool view64) override;
    bool SubkeyNames(const RegistryKeyPath& key, bool view64, std::vector<WideString>& names) override;
    bool ValueData(const RegistryKeyPath& key, const WideString& name, bool view64, WideString& text) override;
    bool ValueExists(const RegistryKeyPath& key, const WideString& name, bool view64) override;
    bool ValueText(const RegistryKeyPath& key, const WideString& name, bool view64, WideString& text) override;

    std::vector<WideString> FixedDrives() override;
    bool AnyFileMatches(const WideString& path) override;
    WideString FileVersion(const WideString& path) override;
    std::vector<WideString> Subfolders(const WideString& folder) override;
    void DisableRedirection() override;
    void RestoreRedirection() override;

    bool ProductVersion(const WideString& productCode, WideString& version) override;
    std::vector<WideString> RelatedProducts(const WideString& upgradeCode) override;
    bool ComponentInstalled(const WideString& componentCode) override;

    WideString ExpandReferences(const WideString& text) override;
    WideString PackageFilePath(const WideString& fileName) override;
    bool RunProgram(const WideString& program, const WideString& arguments, bool hidden, uint32_t& exitCode) override;

private:
    PropertyResolver& resolver_;
    SetupConfig& config_;
    FsRedirection redirection_;
};
