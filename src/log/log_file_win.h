#pragma once

#include <windows.h>

#include <cstdint>

#include "base/wide_string.h"

// Logging is on exactly when the configuration names a log file. Set once by
// the application object before other threads start; every caller tests it
// before composing a line.
extern bool LogEnabled;

// The optional log: UTF-16LE, appended to across runs, every write flushed
// at once so that the file holds every line written before the process
// ended, however it ended.
class LogFile {
public:
    LogFile();
    // Writes the end marker: the process-wide log is destroyed with the
    // process's static objects, after the application object.
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Taken only while no file is open, or when it equals the current path.
    void SetPath(const WideString& path);
    // The time stamp, "-", the text and CR LF. Opens the file first, writing
    // the header and the system line; a line that finds no file is lost.
    void WriteLine(const WideString& text);
    void WriteEndMarker();

private:
    void EnsureOpen();
    void Write(const WideString& text);

    CRITICAL_SECTION lock_;
    bool lockReady_ = false;
    WideString path_;
    WideString header_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// The process's log.
extern LogFile Log;

// The system's text for a Windows error code, as the system gives it (usually
// with a trailing line break), or the code in signed decimal when there is none.
WideString FormatSystemError(uint32_t code);
