#pragma once

#include <cstdint>

#include "config/setup_config.h"
#include "detect/decision.h"
#include "ui/progress_sink.h"

// What the chain run needs from the application and the system, beyond the
// install decision's host.
class ChainHost {
public:
    virtual ~ChainHost() = default;
    virtual DecisionHost& Decisions() = 0;
    // Interactive runs show the "Preparing..." window with a string-table
    // text, and close it before anything is installed.
    virtual void ShowPreparing(uint32_t stringId) = 0;
    virtual void ClosePreparing() = 0;
    // Runs the job on a worker thread while the calling thread keeps the
    // window responsive; silent runs call the job directly.
    virtual void RunDetection(void (*job)(void*), void* context) = 0;
    // Removes the interboot context from the registry; a missing key is fine.
    virtual void DeleteInterbootKey() = 0;
};

// Answers the installation loop's question after an installer has run.
class FoundCheck {
public:
    virtual ~FoundCheck() = default;
    virtual bool IsNowFound(size_t index) = 0;
};

// One chain run from selection to its end: owns what the phases share.
class ChainRunner : public FoundCheck, public ProgressSink {
public:
    ChainRunner(SetupConfig& config, ChainHost& host);

    bool IsNowFound(size_t index) override;
    void RedetectAll();
    bool AllMandatoryPresent();

    // ProgressSink: this sink shows nothing; cancel and pause questions go
    // to the user interface's sink when there is one.
    void SetRange(uint32_t) override {}
    void SetItemRange(uint32_t, const wchar_t*) override {}
    void Complete(int32_t) override {}
    void SetStatusText(const wchar_t*) override {}
    void AddItemProgress(uint32_t) override {}
    bool IsCancelled() override;
    bool IsPaused() override;
    void ReportItemError(uint32_t, uint32_t) override {}

    SetupConfig& Config;
    ChainHost& Host;
    ProgressSink* UiSink = nullptr;
    bool RebootRequired = false;
    bool RebootRefused = false;
    bool ShutdownInProgress = false;
};

// The whole chain run: detection, selection, the phases the mode asks for,
// the summary; returns the exit code (0, 1 or -1).
int32_t RunChain(SetupConfig& config, ChainHost& host);
