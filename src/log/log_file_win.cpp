#include "log/log_file_win.h"

#include "base/number_text.h"


#include "detect/platform.h"
#include "detect/platform_win.h"
#include "log/log_format.h"

bool LogEnabled = false;
LogFile Log;

namespace {

// Holds the log's lock for one scope.
class Locked {
public:
    explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { ::EnterCriticalSection(&lock_); }
    ~Locked() { ::LeaveCriticalSection(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& lock_;
};

}  // namespace

LogFile::LogFile() : header_(kLogHeader) {
    // Ready before any thread can write: initialising it on first use would
    // race if that first use ever came from two threads.
    ::InitializeCriticalSection(&lock_);
    lockReady_ = true;
}

LogFile::~LogFile() { WriteEndMarker(); }

void LogFile::SetPath(const WideString& path) {
    if (!lockReady_) return;  // the log has already ended
    Locked hold(lock_);
    if (file_ == INVALID_HANDLE_VALUE || path == path_) path_ = path;
}

void LogFile::WriteLine(const WideString& text) {
    if (!lockReady_) return;  // the log has already ended
    Locked hold(lock_);
    EnsureOpen();
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    Write(FormatLogTimeStamp(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond));
    Write(L"-");
    Write(text);
    Write(L"\r\n");
}

void LogFile::WriteEndMarker() {
    if (!lockReady_) return;
    if (LogEnabled) WriteLine(kLogEndMarker);
    {
        Locked hold(lock_);
        path_.clear();
        header_.clear();
        if (file_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
    }
    ::DeleteCriticalSection(&lock_);
    lockReady_ = false;
}

void LogFile::EnsureOpen() {
    if (file_ != INVALID_HANDLE_VALUE) return;
    if (path_.empty()) return;
    ::SetLastError(0);
    HANDLE file = ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;  // this line is lost; the next one tries again
    const DWORD opened = ::GetLastError();
    if (opened == ERROR_ALREADY_EXISTS) {
        ::SetFilePointer(file, 0, nullptr, FILE_END);
        file_ = file;
    } else if (opened == 0) {
        file_ = file;
        Write(WideString(1, static_cast<wchar_t>(0xFEFF)));
    } else {
        ::CloseHandle(file);
        return;
    }
    Write(header_);
    OsVersionInfo version;
    ReadOsVersion(version);
    Write(OsVersionLogText(version));
}

void LogFile::Write(const WideString& text) {
    if (file_ == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD written = 0;
    ::WriteFile(file_, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::FlushFileBuffers(file_);
}

WideString FormatSystemError(uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
        0x400, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || !buffer) {
        if (buffer) ::LocalFree(buffer);
        return DecimalText(static_cast<int32_t>(code));
    }
    WideString text(buffer, length);
    ::LocalFree(buffer);
    return text;
}
