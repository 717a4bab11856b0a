#pragma once

#include <cstdint>
#include <vector>

#include "app/interboot_store.h"
#include "base/wide_string.h"
#include "ui/progress_sink.h"

class ChainRunner;

// One installer to run.
struct InstallJob {
    WideString FilePath;
    WideString CommandLine;
    WideString PrereqName;
    int32_t RebootMode = 0;  // 0 none, 1 after this installer, 2 only if then found
    WideString RetValPropName;
    int32_t PrereqIndex = 0;
};

// The installation phase's state, part of the chain runner.
struct InstallQueue {
    RegistryStore* Store = nullptr;
    std::vector<InstallJob> Jobs;
    uint32_t LastLaunchError = 0;
    bool RebootRefused = false;
    bool RebootRequired = false;
    ChainRunner* Owner = nullptr;
};

// The command and arguments that would bring the chain back after a
// restart. Nothing in the chain sets them, so they stay empty.
extern WideString RestartCommand;
extern WideString RestartArguments;

const int32_t kInstallGoOn = 0;
const int32_t kInstallLaunchFailed = 1;
const int32_t kInstallReboot = 2;

void PrepareInstall(ChainRunner& runner);
void InstallAll(ChainRunner& runner, ProgressSink* sink);
int32_t InstallOne(InstallQueue& queue, size_t jobIndex, bool silent);
bool LaunchJob(InstallQueue& queue, size_t jobIndex);

// The web-site phase: opens the page of every prerequisite the user must
// fetch by hand.
void OpenSites(ChainRunner& runner, ProgressSink* sink);
