#include "app/chain_run.h"

namespace {

const uint32_t kSearchingForPrerequisites = 223;

struct DetectionJob {
    SetupConfig* Config;
    DecisionHost* Host;
};

void DetectAll(void* context) {
    DetectionJob& job = *static_cast<DetectionJob*>(context);
    for (size_t i = 0; i < job.Config->Prerequisites.size(); ++i) {
        DetectPrerequisite(job.Config->Prerequisites, i, false, *job.Host);
    }
}

const wchar_t* BoolText(bool value) { return value ? L"true" : L"false"; }

}  // namespace

ChainRunner::ChainRunner(SetupConfig& config, ChainHost& host) : Config(config), Host(host) {
    Queue.Store = &Host.InterbootStore();
    Queue.Owner = this;
    for (size_t i = 0; i < Config.Prerequisites.size(); ++i) {
        ApplySelectionRule(Config.Prerequisites, i, Host.Decisions());
    }
}

bool ChainRunner::IsNowFound(size_t index) {
    PrereqList& list = Config.Prerequisites;
    if (index >= list.size()) return false;
    DetectPrerequisite(list, index, true, Host.Decisions());
    return RecomputeDownloaded(list[index], Host.Decisions()) == Found;
}

void ChainRunner::RedetectAll() {
    PrereqList& list = Config.Prerequisites;
    DecisionHost& decisions = Host.Decisions();
    for (size_t i = 0; i < list.size(); ++i) {
        const PrereqStatus planned = PlannedStatus(list[i], decisions);
        if (planned == NotSelected || planned == NotApplicable) continue;
        DetectPrerequisite(list, i, true, decisions);
        ApplySelectionRule(list, i, decisions);
    }
}

bool ChainRunner::AllMandatoryPresent() {
    for (const Prerequisite& prereq : Config.Prerequisites) {
        if (!prereq.HasOption(L'm')) continue;
        const PrereqStatus planned = PlannedStatus(prereq, Host.Decisions());
        if (planned != Found && planned != NotSelected) return false;
    }
    return true;
}

bool ChainRunner::IsCancelled() {
    if (!UiSink) return false;
    const bool cancelled = UiSink->IsCancelled();
    if (cancelled) Host.Decisions().LogLine(L"Download was canceled.");
    return cancelled;
}

bool ChainRunner::IsPaused() { return UiSink ? UiSink->IsPaused() : false; }

int32_t RunChain(SetupConfig& config, ChainHost& host) {
    DecisionHost& decisions = host.Decisions();
    bool deleteOnExit = true;
    int32_t result = 0;

    if (!config.Prerequisites.empty()) {
        DetectionJob job{&config, &decisions};
        if (config.IsSilentMode()) {
            DetectAll(&job);
        } else {
            host.ShowPreparing(kSearchingForPrerequisites);
            host.RunDetection(DetectAll, &job);
        }

        if (!AnyPrerequisiteMissing(config.Prerequisites)) {
            decisions.LogLine(L"No prerequisite must be installed.");
        } else {
            host.ClosePreparing();
            ChainRunner runner(config, host);
            if (config.IsSilentMode()) {
                decisions.LogLine(L"Starting installing prerequisites in silent mode.");
                // The download phase joins here.
                OpenSites(runner, nullptr);
                InstallAll(runner, nullptr);
                if (!runner.Queue.RebootRequired) {
                    runner.RedetectAll();
                    if (!runner.AllMandatoryPresent()) result = 1;
                }
            } else if (config.IsBasicUiMode()) {
                decisions.LogLine(L"Starting installing prerequisites in basic UI mode.");
                // The progress dialog joins here; until then it is a dialog
                // that did not start, which leaves the result at 0.
            }

            decisions.LogLine(WideString(L"After running prerequisites we have:  Reboot was required=") +
                              BoolText(runner.Queue.RebootRequired));
            if (runner.Queue.RebootRequired) {
                decisions.LogLine(WideString(L"  Reboot was refused=") + BoolText(runner.Queue.RebootRefused));
                if (!runner.Queue.RebootRefused) {
                    decisions.LogLine(WideString(L"  Reboot in Progress=") + BoolText(runner.ShutdownInProgress));
                }
            }
            if ((runner.Queue.RebootRequired && !runner.Queue.RebootRefused) || runner.ShutdownInProgress) {
                result = -1;
                deleteOnExit = false;
            }
        }
    }

    if (deleteOnExit) host.DeleteInterbootKey();
    return result;
}
