#pragma once

#include <cstdint>


#include "app/install_loop.h"
#include "app/interboot_store.h"
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
    // The store of the installers' return codes, on the interboot key.
    virtual RegistryStore& InterbootStore() = 0;

    // What the installation and web-site phases need.
    virtual const WideString& ExtractionFolderPath() = 0;
    // Starts a file through the shell and waits for it; false with the
    // Windows error when it could not be started.
    virtual bool LaunchFile(const WideString& path, const WideString& arguments, uint32_t& exitCode,
                            uint32_t& error) = 0;
    virtual WideString ExpandReferences(const WideString& text) = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // Asks (unless silent) and restarts Windows; a No sets `refused`.
    virtual bool RequestReboot(bool silent, bool& refused) = 0;
    virtual bool RegisterRunAtLogon(const WideString& command, const WideString& arguments) = 0;
    // The text in the thread's ANSI code page.
    virtual NarrowText AnsiText(const WideString& text) = 0;
    virtual WideString StringText(uint32_t stringId) = 0;
    virtual WideString SystemErrorText(uint32_t code) = 0;
    // Opens a web page in the user's browser, without waiting.
    virtual void OpenSite(const WideString& url) = 0;
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
    InstallQueue Queue;
    ProgressSink* UiSink = nullptr;
    // Set by the progress dialog when Windows announces its shutdown.
    bool ShutdownInProgress = false;
};

// The whole chain run: detection, selection, the phases the mode asks for,
// the summary; returns the exit code (0, 1 or -1).
int32_t RunChain(SetupConfig& config, ChainHost& host);
