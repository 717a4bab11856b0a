#pragma once

#include <windows.h>

#include <cstdint>

#include "base/scoped_win.h"
#include "base/wide_string.h"

// The small modeless window that tells the user, outside silent mode, that
// setup is getting ready: a caption and one status line. Only the thread
// that first shows it may touch it, and it cannot be closed by the user.
class PreparingWindow {
public:
    PreparingWindow() = default;
    ~PreparingWindow() { Close(); }
    PreparingWindow(const PreparingWindow&) = delete;
    PreparingWindow& operator=(const PreparingWindow&) = delete;

    // The executable whose product name forms the caption; given before the
    // caption is first needed.
    void SetModulePath(const WideString& modulePath) { modulePath_ = modulePath; }

    // The caption of the chainer's windows: string 161, "%s Setup", with the
    // product name of the executable's version resource, or the executable's
    // full path when it has none. Computed on first use and kept.
    const WideString& SetupTitle();

    // Does nothing in silent mode (Interactive false). The first call creates
    // the window, owned by the thread's active window; a window that cannot
    // be created is not tried again. Every call sets the caption and shows
    // the string-table text `textId` as the status line.
    void Show(uint32_t textId);
    // Destroys the window if there is one.
    void Close();

    HWND Handle() const { return window_.Get(); }
    DWORD CreatingThreadId() const { return creatingThreadId_; }
    bool Created() const { return created_; }

private:
    ScopedWindow window_;
    DWORD creatingThreadId_ = 0;
    bool created_ = false;
    WideString modulePath_;
    WideString setupTitle_;
    bool titleKnown_ = false;
};

using MessagePumpJob = void (*)(void* context);

// Runs job(context) on a new thread and returns when it has ended, serving
// the calling thread's window messages meanwhile so that its windows stay
// responsive. Returns at once, without running the job, when no thread can
// be created.
void RunWithMessagePump(MessagePumpJob job, void* context);
