#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "base/scoped_win.h"
#include "base/wide_string.h"
#include "download/download_rules.h"
#include "download/url_win.h"

class CredentialStore;
class ProgressSink;

// Fetches one file from an FTP, HTTP or HTTPS URL into a local file. The
// transfer runs on a worker thread of the engine's own over asynchronous
// WinINet and writes into "<local path>.part", which is renamed into place
// only once the transfer is complete: a failed or cancelled run leaves the
// partial file for the next run to continue, and the file at the local path
// as it was.
//
// One engine serves one download at a time. The owner calls Start, then
// Wait (or Start with wait true), and destroys the engine after Wait.
class Downloader {
public:
    // Neither the sink nor the store is owned; either may be null.
    Downloader(ProgressSink* sink, CredentialStore* credentials, const WideString& baseFolder);
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // Starts a run for `url` into `target` (empty: a name made from the URL,
    // in the base folder). With `wait`, returns the run's result; otherwise
    // 0, or the error of a thread that could not be created.
    uint32_t Start(const WideString& url, const WideString& target, bool wait);
    // Waits for the current run and returns its result; 0 without one.
    uint32_t Wait();

    // How often a server that cannot be reached is tried again, 10 s apart.
    int32_t RetryCount = 6;
    // The error of a failed write of the partial file, or DLERR_NO_FILE_NAME.
    uint32_t LastError = 0;

private:
    // The WinINet call whose completion the engine is waiting for.
    enum Operation : int32_t {
        kConnect = 0,
        kFtpOpen = 2,
        kRead = 3,
        kFtpFind = 5,
        kOpenRequest = 6,
        kSend = 7,
        kQueryData = 8,
    };

    // What a run shares with WinINet's callback threads: the callback's
    // context, and everything an asynchronous call may still write to after
    // it was given up. A run whose last call never completed leaves its
    // state behind instead of freeing memory WinINet may still write into.
    struct RunState {
        volatile DWORD AsyncError = 0;
        volatile DWORD_PTR AsyncResult = 0;
        volatile int32_t PendingOperation = 0;
        volatile LONG Completed = 0;
        // The handle an open call delivered through the callback.
        HINTERNET volatile DeliveredHandle = nullptr;
        ScopedHandle RequestDoneEvent;
        ScopedHandle HandleClosedEvent;
        // Where a read or a query writes its count, and an FTP search its
        // find data; the transfer buffer.
        DWORD Count = 0;
        WIN32_FIND_DATAW FindData;
        char Buffer[51200];
    };

    static DWORD WINAPI ThreadMain(void* self);
    static void CALLBACK OnInternetStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                          DWORD infoLength);
    uint32_t RunDownload();
    // Everything between the open session and its closing.
    uint32_t RunSession();
    // Moves the data into the open partial file until it has ended.
    uint32_t Transfer(HANDLE file, uint32_t& resumeOffset, uint32_t& total);

    uint32_t OpenTransfer(uint32_t& resumeOffset, uint32_t& total);
    uint32_t OpenHttp(const UrlParts& parts, bool secure, uint32_t& resumeOffset, uint32_t& total);
    uint32_t OpenFtp(const UrlParts& parts, uint32_t& resumeOffset, uint32_t& total);
    // Picks a broken HTTP transfer up at the end of the partial file;
    // `giveUp` is the result once reconnecting has stopped helping.
    uint32_t Reconnect(HANDLE file, uint32_t& resumeOffset, uint32_t& total, uint32_t giveUp);
    uint32_t SendRequest(const WideString& headers);

    // Before each call that may complete later.
    void BeginPending(Operation operation);
    // An open call (connect, request, FTP file or find): 0 with the handle
    // in CurrentHandle, or the error.
    uint32_t WaitForHandle(HINTERNET returned);
    // Waits for a call that went pending; 0 once it completed (the caller
    // reads AsyncResult/AsyncError), else the error.
    uint32_t WaitForCompletion(bool pausable);
    // A query for available data or a read: 0 and the byte count, or the
    // error; `wentPending` tells whether the call completed later.
    uint32_t WaitForCount(BOOL returned, DWORD& count, bool& wentPending);
    void WaitWhilePaused();
    bool Cancelled();
    void CloseRequest(HINTERNET handle);
    void ReportError(uint32_t code);
    // The context every WinINet call of a run is given.
    DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(state_); }

    ProgressSink* Sink;
    HINTERNET CurrentHandle = nullptr;
    ScopedInternet ConnectHandle;
    ScopedHandle Thread;
    CredentialStore* Credentials;
    WideString BaseFolder;
    WideString Target;
    WideString Url;
    int32_t Scheme = 0;

    ScopedInternet session_;
    RunState* state_ = nullptr;
    // A call went pending and has not been seen to complete.
    bool outstanding_ = false;
    // The reconnects of the current run that brought no new data.
    ReconnectLimit reconnects_;
};
