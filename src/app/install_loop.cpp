#include "app/install_loop.h"

#include "app/chain_run.h"
#include "base/format_text.h"
#include "base/number_text.h"
#include "download/url_rules.h"
#include "download/web_sites.h"
#include "fs/paths.h"

WideString RestartCommand;
WideString RestartArguments;

namespace {

const uint32_t kInstallingStatus = 153;
const uint32_t kOpeningSiteStatus = 198;
const uint32_t kRebootRequiredCode = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
const uint32_t kAfterInstallerPause = 2000;

const WideString& ChosenCommandLine(const SetupConfig& config, const Prerequisite& prereq) {
    // "b" is asked first: "qb" runs silently with the basic-UI command line.
    if (config.IsBasicUiMode()) return prereq.BasicUiCommandLine;
    if (config.IsSilentMode()) return prereq.NoUiCommandLine;
    return prereq.CommandLine;
}

int32_t RebootModeOf(const Prerequisite& prereq) {
    if (!prereq.HasOption(L'r')) return 0;
    return prereq.HasOption(L'R') ? 2 : 1;
}

}  // namespace

void PrepareInstall(ChainRunner& runner) {
    SetupConfig& config = runner.Config;
    ChainHost& host = runner.Host;
    InstallQueue& queue = runner.Queue;
    queue.Jobs.clear();
    for (size_t i = 0; i < config.Prerequisites.size(); ++i) {
        const Prerequisite& prereq = config.Prerequisites[i];
        const PrereqStatus planned = PlannedStatus(prereq, host.Decisions());
        const WideString& commandLine = ChosenCommandLine(config, prereq);
        InstallJob job;
        job.PrereqName = prereq.Name;
        job.RebootMode = RebootModeOf(prereq);
        job.RetValPropName = prereq.RetValPropName;
        job.PrereqIndex = static_cast<int32_t>(i);
        if (planned == InstallFromPackage) {
            job.FilePath = IsAbsolutePath(prereq.Location) ? prereq.Location
                                                            : host.ExtractionFolderPath() + prereq.Location;
            job.CommandLine = commandLine;
        } else if (planned == AlreadyDownloaded) {
            job.FilePath = IsFileUrl(prereq.Location)
                               ? LocalPathFromFileUrl(prereq.Location)
                               : LocalPathForDownload(config.DownloadFolderPath(), prereq.Location, prereq.Folder);
            job.CommandLine = host.ExpandReferences(commandLine);
        } else {
            continue;
        }
        queue.Jobs.push_back(job);
    }
    host.RegisterRunAtLogon(RestartCommand, RestartArguments);
}

void InstallAll(ChainRunner& runner, ProgressSink* sink) {
    PrepareInstall(runner);
    const WideString status = sink ? runner.Host.StringText(kInstallingStatus) : WideString();
    InstallQueue& queue = runner.Queue;
    for (size_t j = 0; j < queue.Jobs.size() && !runner.ShutdownInProgress; ++j) {
        if (sink) {
            if (sink->IsCancelled()) return;
            sink->SetStatusText(FormatText(status, queue.Jobs[j].PrereqName).c_str());
        }
        const int32_t result = InstallOne(queue, j, sink == nullptr);
        if (result == kInstallLaunchFailed || result == kInstallReboot) return;
    }
}

int32_t InstallOne(InstallQueue& queue, size_t jobIndex, bool silent) {
    if (!LaunchJob(queue, jobIndex)) return kInstallLaunchFailed;
    ChainRunner& runner = *queue.Owner;
    const InstallJob& job = queue.Jobs[jobIndex];
    bool reboot = job.RebootMode == 1;
    if (job.RebootMode == 2) reboot = runner.IsNowFound(static_cast<size_t>(job.PrereqIndex));
    if (!reboot) return kInstallGoOn;
    runner.Host.Decisions().LogLine(L"Rebooting machine...");
    queue.RebootRequired = true;
    runner.Host.RequestReboot(silent, queue.RebootRefused);
    return kInstallReboot;
}

bool LaunchJob(InstallQueue& queue, size_t jobIndex) {
    ChainHost& host = queue.Owner->Host;
    DecisionHost& log = host.Decisions();
    const InstallJob& job = queue.Jobs[jobIndex];
    log.LogLine(L"Launching file:" + job.FilePath);

    uint32_t exitCode = 0;
    uint32_t error = 0;
    const bool launched = host.LaunchFile(job.FilePath, host.ExpandReferences(job.CommandLine), exitCode, error);
    if (!launched) {
        queue.LastLaunchError = error;
        log.LogLine(L"Launch failed. Error:" + host.SystemErrorText(error));
    }
    log.LogLine(L"Return code of launched file:" + UnsignedText(exitCode));
    if (queue.Store) queue.Store->SetNumber(host.AnsiText(job.RetValPropName), static_cast<int32_t>(exitCode));
    if (exitCode == kRebootRequiredCode || (exitCode & 0xC0000000u) == 0xC0000000u) host.Sleep(kAfterInstallerPause);
    return launched;
}

namespace {

// The chain's way to the log and the browser.
class ChainSiteOpener : public SiteOpener {
public:
    explicit ChainSiteOpener(ChainHost& host) : host_(host) {}
    void LogLine(const WideString& text) override { host_.Decisions().LogLine(text); }
    void OpenSite(const WideString& url) override { host_.OpenSite(url); }

private:
    ChainHost& host_;
};

}  // namespace

void OpenSites(ChainRunner& runner, ProgressSink* sink) {
    ChainHost& host = runner.Host;
    host.RegisterRunAtLogon(RestartCommand, RestartArguments);
    std::vector<SiteToOpen> sites;
    for (const Prerequisite& prereq : runner.Config.Prerequisites) {
        if (PlannedStatus(prereq, host.Decisions()) == VisitSite) sites.push_back(SiteToOpen{prereq.Name, prereq.Location});
    }
    const WideString status = sink ? host.StringText(kOpeningSiteStatus) : WideString();
    ChainSiteOpener opener(host);
    OpenSiteList(sites, sink, status, opener);
}
