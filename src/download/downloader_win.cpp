#include "download/downloader_win.h"

#include <new>

#include "detect/ie_probe_win.h"
#include "download/credentials_win.h"
#include "fs/files_win.h"
#include "ui/progress_sink.h"

namespace {

const wchar_t kAgent[] = L"Vantorel";
const DWORD kPollMs = 10;
const int kRetryPauseSteps = 100;
const DWORD kRetryStepMs = 100;
const DWORD kCloseWaitMs = 1000;
// WinINet's generic failure, for a completion that reports failure without
// saying why: a failure must never read as success.
const DWORD kUnexplainedFailure = ERROR_INTERNET_INTERNAL_ERROR;

const DWORD kHttpFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                         INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
const DWORD kCertificateDialogFlags =
    FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;

const wchar_t* OrNull(const WideString& text) { return text.empty() ? nullptr : text.c_str(); }

DWORD ErrorOr(DWORD error, DWORD fallback) { return error != 0 ? error : fallback; }

// The size of an existing partial file, 0 when there is none.
uint32_t ExistingSize(const WideString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    return data.nFileSizeLow;
}

// Writes the whole block: a write that stops short (a disk filling up)
// is continued until the system reports why it cannot go on.
uint32_t WriteAll(HANDLE file, const char* data, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(file, data, size, &written, nullptr)) return ErrorOr(::GetLastError(), ERROR_WRITE_FAULT);
        if (written == 0) return ERROR_WRITE_FAULT;
        data += written;
        size -= written;
    }
    return 0;
}

}  // namespace

Downloader::Downloader(ProgressSink* sink, CredentialStore* credentials, const WideString& baseFolder)
    : Sink(sink), Credentials(credentials), BaseFolder(baseFolder) {}

Downloader::~Downloader() {
    // A run still going would use this object after it is gone.
    Wait();
}

uint32_t Downloader::Start(const WideString& url, const WideString& target, bool wait) {
    Url = url;
    Target = target;
    CurrentHandle = nullptr;
    ConnectHandle.Release();
    Thread.Reset();
    DWORD id = 0;
    const HANDLE thread = ::CreateThread(nullptr, 0, ThreadMain, this, 0, &id);
    if (!thread) return ::GetLastError();
    Thread.Reset(thread);
    return wait ? Wait() : 0;
}

uint32_t Downloader::Wait() {
    if (!Thread) return 0;
    ::WaitForSingleObject(Thread.Get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeThread(Thread.Get(), &code);
    Thread.Reset();
    return code;
}

DWORD WINAPI Downloader::ThreadMain(void* self) { return static_cast<Downloader*>(self)->RunDownload(); }

void CALLBACK Downloader::OnInternetStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD) {
    // The session itself carries no context.
    RunState* state = reinterpret_cast<RunState*>(context);
    if (!state) return;
    if (status == INTERNET_STATUS_HANDLE_CLOSING) {
        ::SetEvent(state->HandleClosedEvent.Get());
    } else if (status == INTERNET_STATUS_REQUEST_COMPLETE && info) {
        const INTERNET_ASYNC_RESULT* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
        state->AsyncResult = result->dwResult;
        state->AsyncError = result->dwError;
        switch (state->PendingOperation) {
        case kConnect:
        case kFtpOpen:
        case kFtpFind:
        case kOpenRequest:
            state->DeliveredHandle = reinterpret_cast<HINTERNET>(result->dwResult);
            break;
        default:
            break;
        }
        // The fields above are visible before the worker can see Completed.
        ::InterlockedExchange(&state->Completed, 1);
        ::SetEvent(state->RequestDoneEvent.Get());
    }
}

bool Downloader::Cancelled() { return Sink && Sink->IsCancelled(); }

void Downloader::ReportError(uint32_t code) {
    if (Sink) Sink->ReportItemError(0, code);
}

void Downloader::WaitWhilePaused() {
    while (Sink && Sink->IsPaused() && !state_->Completed && !Sink->IsCancelled()) ::Sleep(kPollMs);
}

void Downloader::BeginPending(Operation operation) {
    state_->PendingOperation = operation;
    state_->DeliveredHandle = nullptr;
    ::InterlockedExchange(&state_->Completed, 0);
    // Some asynchronous calls report a pending call by returning nothing
    // without touching the last error; a stale value must not read as a
    // failure.
    ::SetLastError(0);
}

uint32_t Downloader::WaitForCompletion(bool pausable) {
    // The event is reset only for a call that went pending: most reads
    // complete at once, and a reset per block would cost a round trip to
    // the kernel each time. Completed is looked at after the reset, so a
    // completion that came before it is not missed.
    outstanding_ = true;
    ::ResetEvent(state_->RequestDoneEvent.Get());
    for (;;) {
        if (pausable) WaitWhilePaused();
        if (!state_->Completed) ::WaitForSingleObject(state_->RequestDoneEvent.Get(), kPollMs);
        if (state_->Completed) {
            outstanding_ = false;
            // Signalled whichever came first, the reset or the completion:
            // closing the request must not wait for a call that is done.
            ::SetEvent(state_->RequestDoneEvent.Get());
            return 0;
        }
        if (Cancelled()) return DLERR_CANCELLED;
    }
}

uint32_t Downloader::WaitForHandle(HINTERNET returned) {
    if (returned) {
        CurrentHandle = returned;
        return 0;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING && error != 0) return error;
    const uint32_t waited = WaitForCompletion(false);
    if (waited != 0) return waited;
    CurrentHandle = state_->DeliveredHandle;
    if (CurrentHandle) return 0;
    return ErrorOr(state_->AsyncError, kUnexplainedFailure);
}

uint32_t Downloader::WaitForCount(BOOL returned, DWORD& count, bool& wentPending) {
    wentPending = false;
    if (returned) {
        count = state_->Count;
        return 0;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) return ErrorOr(error, kUnexplainedFailure);
    wentPending = true;
    const uint32_t waited = WaitForCompletion(true);
    if (waited != 0) return waited;
    if (state_->AsyncResult == 0) return ErrorOr(state_->AsyncError, kUnexplainedFailure);
    // Some WinINet versions pass the count in the completion, others write
    // it where the call was told to.
    const DWORD fromCompletion = state_->AsyncError;
    count = static_cast<int32_t>(fromCompletion) > 0 ? fromCompletion : state_->Count;
    return 0;
}

void Downloader::CloseRequest(HINTERNET handle) {
    if (!handle) return;
    ::ResetEvent(state_->HandleClosedEvent.Get());
    ::InternetCloseHandle(handle);
    ::WaitForSingleObject(state_->RequestDoneEvent.Get(), kCloseWaitMs);
    ::WaitForSingleObject(state_->HandleClosedEvent.Get(), kCloseWaitMs);
}

uint32_t Downloader::RunDownload() {
    RunState* state = new (std::nothrow) RunState;
    if (!state) return ERROR_NOT_ENOUGH_MEMORY;
    ::ZeroMemory(&state->FindData, sizeof state->FindData);
    state->RequestDoneEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    state->HandleClosedEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!state->RequestDoneEvent || !state->HandleClosedEvent) {
        const DWORD error = ErrorOr(::GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
        delete state;
        return error;
    }
    state_ = state;
    outstanding_ = false;

    uint32_t result = 0;
    session_.Reset(::InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!session_) {
        result = ErrorOr(::GetLastError(), kUnexplainedFailure);
    } else {
        ::InternetSetStatusCallbackW(session_.Get(), OnInternetStatus);
        reconnects_ = ReconnectLimit();
        result = RunSession();
    }

    CloseRequest(CurrentHandle);
    CurrentHandle = nullptr;
    ConnectHandle.Reset();
    session_.Reset();
    // A call that never completed (given up on a cancel while the server
    // was silent) may still write into the state, and its callback find
    // it: that state is left behind rather than freed under WinINet.
    if (!outstanding_ || state->Completed) delete state;
    state_ = nullptr;
    return result;
}

uint32_t Downloader::RunSession() {
    int32_t scheme = 0;
    uint32_t result = CheckUrlScheme(Url, scheme);
    if (result != 0) {
        ReportError(result);
        return result;
    }
    Scheme = scheme;

    const WideString localPath = DefaultTargetPath(Target, Url, BaseFolder);
    if (localPath.empty()) {
        LastError = DLERR_NO_FILE_NAME;
        ReportError(DLERR_NO_FILE_NAME);
        return DLERR_NO_FILE_NAME;
    }
    const WideString partialPath = localPath + L".part";
    uint32_t resumeOffset = ExistingSize(partialPath);
    uint32_t total = 0;

    result = OpenTransfer(resumeOffset, total);
    if (Cancelled()) return DLERR_CANCELLED;
    if (result != 0) {
        if (result != DLERR_NOT_MODIFIED) ReportError(result);
        return result;
    }

    if (Sink) Sink->SetItemRange(total, localPath.c_str());
    if (Cancelled()) return DLERR_CANCELLED;

    result = CreateFolderPath(partialPath, false, nullptr);
    if (result != 0) {
        ReportError(result);
        return result;
    }

    ScopedFile file(::CreateFileW(partialPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  resumeOffset > 0 ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ErrorOr(::GetLastError(), ERROR_OPEN_FAILED);
        if (Cancelled()) return DLERR_CANCELLED;
        ReportError(error);
        return error;
    }
    if (resumeOffset > 0) ::SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    if (Sink) Sink->AddItemProgress(resumeOffset);

    result = Transfer(file.Get(), resumeOffset, total);
    if (result != 0) return result;

    file.Reset();
    // Replaced in one step and only now: until here the file at the local
    // path, if any, is untouched.
    if (!::MoveFileExW(partialPath.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        result = ErrorOr(::GetLastError(), ERROR_ACCESS_DENIED);
        ReportError(result);
        return result;
    }
    if (Sink) Sink->Complete(1);
    ::SetEvent(state_->RequestDoneEvent.Get());
    return 0;
}

uint32_t Downloader::Transfer(HANDLE file, uint32_t& resumeOffset, uint32_t& total) {
    char* const buffer = state_->Buffer;
    const DWORD bufferSize = sizeof state_->Buffer;
    for (;;) {
        DWORD available = 0;
        DWORD read = 0;
        bool wentPending = false;
        state_->Count = 0;
        BeginPending(kQueryData);
        BOOL done = ::InternetQueryDataAvailable(CurrentHandle, &state_->Count, 0, 0);
        uint32_t result = WaitForCount(done, available, wentPending);
        // A query that completed later without a count is asked again:
        // not every WinINet says how much arrived in its completion.
        if (result == 0 && available == 0 && wentPending) {
            state_->Count = 0;
            BeginPending(kQueryData);
            done = ::InternetQueryDataAvailable(CurrentHandle, &state_->Count, 0, 0);
            result = WaitForCount(done, available, wentPending);
        }
        if (result == 0 && available > 0) {
            state_->Count = 0;
            BeginPending(kRead);
            done = ::InternetReadFile(CurrentHandle, buffer, available < bufferSize ? available : bufferSize,
                                      &state_->Count);
            result = WaitForCount(done, read, wentPending);
        }
        if (result != 0) {
            if (IsBrokenTransfer(result, Scheme)) {
                result = Reconnect(file, resumeOffset, total, result);
                if (result == 0) continue;
            }
            if (result != DLERR_CANCELLED) ReportError(result);
            return result;
        }

        if (read > 0) {
            const uint32_t written = WriteAll(file, buffer, read);
            if (written != 0) {
                LastError = written;
                ReportError(LastError);
                return LastError;
            }
            if (Sink) Sink->AddItemProgress(read);
            WaitWhilePaused();
            if (Cancelled()) return DLERR_CANCELLED;
            continue;
        }

        // The data has ended; is the file whole?
        if (total > 0 && ::GetFileSize(file, nullptr) < total) {
            if (Scheme == kSchemeHttp || Scheme == kSchemeHttps) {
                result = Reconnect(file, resumeOffset, total, DLERR_INCOMPLETE);
                if (result == 0) continue;
            } else {
                result = DLERR_INCOMPLETE;
            }
            if (result != DLERR_CANCELLED) ReportError(result);
            return result;
        }
        return 0;
    }
}
uint32_t Downloader::Reconnect(HANDLE file, uint32_t& resumeOffset, uint32_t& total, uint32_t giveUp) {
    CloseRequest(CurrentHandle);
    CurrentHandle = nullptr;
    // A new connection is made for the rest; the old one is done with.
    ConnectHandle.Reset();
    ::FlushFileBuffers(file);
    const DWORD size = ::GetFileSize(file, nullptr);
    // A server that keeps breaking off without sending anything new, or
    // keeps announcing more than it sends, is given up on.
    if (!reconnects_.Allow(size)) return giveUp;
    resumeOffset = size;
    const uint32_t result = OpenTransfer(resumeOffset, total);
    if (size != 0 && resumeOffset != size) return kErrorInternetTimeout;
    return result;
}

uint32_t Downloader::OpenTransfer(uint32_t& resumeOffset, uint32_t& total) {
    if (Credentials) Credentials->BeginRequest();
    int32_t retries = RetryCount;
    for (;;) {
        UrlParts parts;
        uint32_t result = SplitUrl(Url, parts);
        if (result == 0) {
            if (parts.Scheme == kSchemeFtp) {
                result = OpenFtp(parts, resumeOffset, total);
            } else if (parts.Scheme == kSchemeHttp || parts.Scheme == kSchemeHttps) {
                result = OpenHttp(parts, parts.Scheme == kSchemeHttps, resumeOffset, total);
            } else {
                result = kErrorUnrecognizedScheme;
            }
        }
        if (!IsConnectRetried(result) || retries <= 0) return result;
        for (int step = 0; step < kRetryPauseSteps; ++step) {
            WaitWhilePaused();
            if (Cancelled()) return DLERR_CANCELLED;
            ::Sleep(kRetryStepMs);
        }
        --retries;
    }
}

uint32_t Downloader::SendRequest(const WideString& headers) {
    BeginPending(kSend);
    if (::HttpSendRequestW(CurrentHandle, OrNull(headers), static_cast<DWORD>(headers.size()), nullptr, 0)) return 0;
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) return ErrorOr(error, kUnexplainedFailure);
    const uint32_t waited = WaitForCompletion(false);
    if (waited != 0) return waited;
    return state_->AsyncResult != 0 ? 0 : ErrorOr(state_->AsyncError, kUnexplainedFailure);
}

uint32_t Downloader::OpenHttp(const UrlParts& parts, bool secure, uint32_t& resumeOffset, uint32_t& total) {
    BeginPending(kConnect);
    uint32_t result = WaitForHandle(::InternetConnectW(session_.Get(), parts.Host.c_str(), parts.Port,
                                                       OrNull(parts.UserName), OrNull(parts.Password),
                                                       INTERNET_SERVICE_HTTP, 0, Context()));
    if (result != 0) return result;
    ConnectHandle.Reset(CurrentHandle);

    const WideString object = parts.Path + parts.ExtraInfo;
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    CurrentHandle = nullptr;
    BeginPending(kOpenRequest);
    result = WaitForHandle(::HttpOpenRequestW(ConnectHandle.Get(), L"GET", object.c_str(), L"HTTP/1.0", L"",
                                              acceptTypes, kHttpFlags | (secure ? INTERNET_FLAG_SECURE : 0),
                                              Context()));
    if (result != 0) {
        CurrentHandle = nullptr;
        ConnectHandle.Reset();
        return result;
    }

    WideString headers = RangeHeader(resumeOffset);
    if (Credentials) Credentials->BeginRequest();
    // The challenges (1: server, 2: proxy) already answered with the
    // remembered pair: the same challenge again means it was refused.
    uint32_t rememberedFor = 0;
    for (;;) {
        result = SendRequest(headers);
        if (result == 0) {
            DWORD status = 0;
            DWORD size = sizeof status;
            if (!::HttpQueryInfoW(CurrentHandle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                  nullptr)) {
                result = ErrorOr(::GetLastError(), kUnexplainedFailure);
                break;
            }
            DWORD contentLength = 0;
            size = sizeof contentLength;
            if (!::HttpQueryInfoW(CurrentHandle, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &contentLength,
                                  &size, nullptr)) {
                contentLength = 0;
            }
            const HttpAnswerOutcome outcome = ActOnHttpStatus(status, contentLength, resumeOffset, total);
            if (outcome.action == HttpAnswerAction::Transfer) return 0;
            result = outcome.result;
            if (outcome.action == HttpAnswerAction::Fail) break;

            const WideString realm = RealmFromChallenge(CurrentHandle, status);
            const uint32_t challenge = status == 407 ? 2 : 1;
            WideString user, password;
            bool fromMemory = false;
            const bool refused = (rememberedFor & challenge) != 0;
            if (!::GetCredentials(Credentials, Url, CurrentHandle, realm, status == 407, refused, user, password,
                                  fromMemory)) {
                break;
            }
            rememberedFor = fromMemory ? rememberedFor | challenge : 0;
            continue;
        }
        // An untrusted certificate the user accepts in WinINet's dialog.
        if (IsCertificateError(result) &&
            ::InternetErrorDlg(::GetDesktopWindow(), CurrentHandle, result, kCertificateDialogFlags, nullptr) ==
                ERROR_SUCCESS) {
            headers.clear();
            continue;
        }
        break;
    }
    CloseRequest(CurrentHandle);
    CurrentHandle = nullptr;
    ConnectHandle.Reset();
    return result;
}

uint32_t Downloader::OpenFtp(const UrlParts& parts, uint32_t& resumeOffset, uint32_t& total) {
    // An FTP transfer always starts over.
    resumeOffset = 0;
    if (Credentials) Credentials->BeginRequest();

    WideString user = parts.UserName;
    WideString password = parts.Password;
    bool usedRemembered = false;
    uint32_t result = 0;
    for (;;) {
        BeginPending(kConnect);
        result = WaitForHandle(::InternetConnectW(session_.Get(), parts.Host.c_str(), parts.Port, OrNull(user),
                                                  OrNull(password), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE,
                                                  Context()));
        if (!IsFtpLoginError(result)) break;
        bool fromMemory = false;
        if (!::GetCredentials(Credentials, Url, session_.Get(), L"FTP Server", false, usedRemembered, user, password,
                              fromMemory)) {
            return result;
        }
        usedRemembered = fromMemory;
    }
    if (result != 0) return result;
    ConnectHandle.Reset(CurrentHandle);

    int32_t explorerMajor = 0;
    const bool sizeFromFile = InternetExplorerMajorVersion(explorerMajor) && explorerMajor >= 5;
    if (!sizeFromFile) {
        ::ZeroMemory(&state_->FindData, sizeof state_->FindData);
        CurrentHandle = nullptr;
        BeginPending(kFtpFind);
        result = WaitForHandle(::FtpFindFirstFileW(ConnectHandle.Get(), parts.Path.c_str(), &state_->FindData, 0,
                                                   Context()));
        if (result == DLERR_CANCELLED) {
            ConnectHandle.Reset();
            return result;
        }
        total = result == 0 ? state_->FindData.nFileSizeLow : 0;
        if (result == 0) CloseRequest(CurrentHandle);
        CurrentHandle = nullptr;
    }

    CurrentHandle = nullptr;
    BeginPending(kFtpOpen);
    result = WaitForHandle(::FtpOpenFileW(ConnectHandle.Get(), parts.Path.c_str(), GENERIC_READ,
                                          FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, Context()));
    if (result != 0) {
        CurrentHandle = nullptr;
        ConnectHandle.Reset();
        return result;
    }
    if (sizeFromFile) {
        // Looked up by name: not every WinINet has it.
        typedef DWORD(WINAPI * FileSizeFunction)(HINTERNET, DWORD*);
        const HMODULE wininet = ::GetModuleHandleW(L"wininet.dll");
        void* const found = wininet ? reinterpret_cast<void*>(::GetProcAddress(wininet, "FtpGetFileSize")) : nullptr;
        const FileSizeFunction fileSize = reinterpret_cast<FileSizeFunction>(found);
        DWORD high = 0;
        ::SetLastError(0);
        total = fileSize ? fileSize(CurrentHandle, &high) : 0;
        // A size that could not be learnt is unknown, not 4 GB.
        if (total == INVALID_FILE_SIZE && ::GetLastError() != 0) total = 0;
    }
    return 0;
}
