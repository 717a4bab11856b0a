#pragma once

#include "app/chain_run.h"
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
    WinChainHost(ChainerApp& app, SetupConfig& config) : app_(app), decisions_(config) {}

    DecisionHost& Decisions() override { return decisions_; }
    void ShowPreparing(uint32_t stringId) override;
    void ClosePreparing() override;
    void RunDetection(void (*job)(void*), void* context) override;
    void DeleteInterbootKey() override;

private:
    ChainerApp& app_;
    WinDecisionHost decisions_;
};
