// wininet_loop URL OUTFILE [--blocking] (under Wine): the download
// benchmark's reference. By default it makes the download engine's WinINet
// calls without any of its bookkeeping: an asynchronous session with a
// status callback, GET over HTTP/1.0 with the same request flags, the send
// waited for on an event, then "how much is available" and a read of that
// much (at most 51200 bytes, into one buffer), each waited for when pending,
// and a WriteFile. With --blocking: a synchronous session reading 51200
// bytes at a time until the data ends, for what WinINet can do at all.
// Prints {"bytes":N,"ms":N,"peak_kb":N} on success (ms from opening the
// session to the closed file; the peak working set, as the engine's driver
// reports it, for a baseline); exit code 1 and {"error":N} on a failure.
#include <windows.h>
#include <wininet.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>

#include "base/scoped_win.h"

namespace {

struct LoopInternetTraits {
    using Type = HINTERNET;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::InternetCloseHandle(h); }
};
using LoopInternet = Scoped<LoopInternetTraits>;

constexpr DWORD kBufferSize = 51200;
// The engine's request flags (no redirect here, so the two redirect flags
// change nothing but are kept for the same call).
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;

// What the callback hands over to the waiting thread. The event is set after
// the fields are written, and the waiter reads them only after the wait.
struct Completion {
    HANDLE done = nullptr;
    DWORD_PTR result = 0;
    DWORD error = 0;
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
    if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0) return;
    Completion* completion = reinterpret_cast<Completion*>(context);
    const INTERNET_ASYNC_RESULT* async = static_cast<const INTERNET_ASYNC_RESULT*>(info);
    completion->result = async->dwResult;
    completion->error = async->dwError;
    ::SetEvent(completion->done);
}

double Now() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Fail(DWORD error) {
    std::printf("{\"error\":%lu}\n", static_cast<unsigned long>(error));
    return 1;
}

// After a call that reported ERROR_IO_PENDING: waits for its completion and
// takes the count the engine takes (a positive dwError is the number of
// bytes available or read; otherwise what the call's own out-parameter says).
// Returns 0 or the error.
DWORD Finish(BOOL ok, Completion& completion, DWORD& count) {
    if (ok) return 0;
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) return error;
    ::WaitForSingleObject(completion.done, INFINITE);
    if (completion.result == 0) return completion.error ? completion.error : ERROR_INTERNET_INTERNAL_ERROR;
    if (static_cast<int>(completion.error) > 0) count = completion.error;
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const bool blocking = argc > 3 && std::wcscmp(argv[3], L"--blocking") == 0;

    wchar_t host[256], path[2048];
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    if (!::InternetCrackUrlW(argv[1], 0, 0, &parts)) return Fail(::GetLastError());

    ScopedHandle done(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Completion completion;
    completion.done = done.Get();
    // Asynchronous callbacks come only for a non-zero context.
    const DWORD_PTR context = blocking ? 0 : reinterpret_cast<DWORD_PTR>(&completion);
    static unsigned char buffer[kBufferSize];
    unsigned long long total = 0;

    const double started = Now();
    LoopInternet session(::InternetOpenW(L"wininet_loop", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                           blocking ? 0 : INTERNET_FLAG_ASYNC));
    if (!session) return Fail(::GetLastError());
    if (!blocking) ::InternetSetStatusCallbackW(session.Get(), OnStatus);
    LoopInternet connection(::InternetConnectW(session.Get(), host, parts.nPort, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, context));
    if (!connection) return Fail(::GetLastError());
    const wchar_t* accept[] = {L"*/*", nullptr};
    LoopInternet request(::HttpOpenRequestW(connection.Get(), L"GET", path, L"HTTP/1.0", L"", accept,
                                              kRequestFlags, context));
    if (!request) return Fail(::GetLastError());
    DWORD unused = 0;
    if (DWORD error = Finish(::HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0), completion, unused)) {
        return Fail(error);
    }
    DWORD status = 0, size = sizeof(status);
    if (!::HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        return Fail(::GetLastError());
    }
    if (status != 200) return Fail(status);

    ScopedFile out(::CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return Fail(::GetLastError());
    for (;;) {
        DWORD want = kBufferSize;
        if (!blocking) {
            DWORD available = 0;
            if (DWORD error = Finish(::InternetQueryDataAvailable(request.Get(), &available, 0, 0), completion,
                                     available)) {
                return Fail(error);
            }
            if (available == 0) break;
            if (available < want) want = available;
        }
        DWORD read = 0;
        if (DWORD error = Finish(::InternetReadFile(request.Get(), buffer, want, &read), completion, read)) {
            return Fail(error);
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!::WriteFile(out.Get(), buffer, read, &written, nullptr) || written != read) {
            return Fail(::GetLastError());
        }
        total += read;
    }
    out.Reset();
    request.Reset();
    connection.Reset();
    session.Reset();
    const double ms = Now() - started;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    std::printf("{\"bytes\":%.0f,\"ms\":%.1f,\"peak_kb\":%lu}\n", static_cast<double>(total), ms,
                static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024));
    return 0;
}
