#pragma once

#include "app/chain_run.h"
#include "app/interboot_store_win.h"
#include "app/chainer_app_win.h"
#include "detect/property_resolver_win.h"
#include "detect/search_machine_win.h"

// The install decision's view of this machine and of the log.
class WinDecisionHost : public DecisionHost {
public:
    explicit WinDecisionHost(SetupConfig& config) : config_(config), machine_(resolver_, config) {}

    const WideString& WindowsVersionName() override;
    PlatformClass GetPlatformClass() override;
    uint16_t SystemDefaultLangId() override;
    WideString LanguageName(uint16_t langId) override;
    bool EvaluateSearches(const Prerequisite& prereq, bool view64) override;
    bool IsDownloadAvailable(const Prerequisite& prereq) override;
    void LogLine(const WideString& text) override;

private:
    SetupConfig& config_;
    PropertyResolver resolver_;
    WinSearchMachine machine_;
};

// The chain run's view of the application and the system.
class WinChainHost : public ChainHost {
public:
    WinChainHost(ChainerApp& app, SetupConfig& config)
        : app_(app), decisions_(config), store_("InterbootContext") {}

    DecisionHost& Decisions() override { return decisions_; }
    void ShowPreparing(uint32_t stringId) override;
    void ClosePreparing() override;
    void RunDetection(void (*job)(void*), void* context) override;
    void DeleteInterbootKey() override;
    RegistryStore& InterbootStore() override { return store_; }

    const WideString& ExtractionFolderPath() override { return app_.ExtractionFolderPath; }
    bool LaunchFile(const WideString& path, const WideString& arguments, uint32_t& exitCode,
                    uint32_t& error) override;
    WideString ExpandReferences(const WideString& text) override { return resolver_.ExpandReferences(text); }
    void Sleep(uint32_t milliseconds) override;
    bool RequestReboot(bool silent, bool& refused) override;
    bool RegisterRunAtLogon(const WideString& command, const WideString& arguments) override;
    NarrowText AnsiText(const WideString& text) override;
    WideString StringText(uint32_t stringId) override;
    WideString SystemErrorText(uint32_t code) override;
    void OpenSite(const WideString& url) override;

private:
    ChainerApp& app_;
    WinDecisionHost decisions_;
    WinRegistryStore store_;
    PropertyResolver resolver_;
};
