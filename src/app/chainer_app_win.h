#pragma once

#include <cstdint>

#include "base/wide_string.h"
#include "ui/preparing_window_win.h"

// Whether windows may be shown: false in silent mode. Written only by
// ChainerApp::Run before any other thread exists.
extern bool Interactive;

// The application object: lives for the whole process, finds and loads the
// configuration and turns the chain's result into the exit code.
class ChainerApp {
public:
    int32_t ExitCode = 0;
    bool Silent = false;
    WideString ExtractionFolderPath;
    WideString ModulePath;
    WideString IniPath;
    WideString ModuleFolder;
    WideString CleanupRoot;

    int32_t Run();

    // The "Preparing..." window, shown from the configuration's reading on;
    // destroying the application object closes it.
    PreparingWindow& Preparing() { return preparing_; }
    const WideString& SetupTitle() { return preparing_.SetupTitle(); }

private:
    PreparingWindow preparing_;
};
