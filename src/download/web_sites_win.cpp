#include "download/web_sites_win.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "base/scoped_win.h"
#include "fs/files_win.h"
#include "log/log_file_win.h"

namespace {

// The shortcut is read by the browser's side of the shell in the ANSI code
// page, so that is what it is written in. A character the code page lacks
// becomes the code page's default character rather than a look-alike.
std::string ToThreadAnsi(const WideString& text) {
    if (text.empty()) return std::string();
    const int units = static_cast<int>(text.size());
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int size = ::WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), units, nullptr, 0, nullptr, nullptr);
    // Code pages such as UTF-8 take no flags and have every character.
    if (size == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        size = ::WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), units, nullptr, 0, nullptr, nullptr);
    }
    if (size <= 0) return std::string();
    std::string bytes(static_cast<size_t>(size), '\0');
    size = ::WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), units, &bytes[0], size, nullptr, nullptr);
    bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
    return bytes;
}

}  // namespace

void OpenSite(const WideString& url) {
    WideString path;
    if (!MakeTempFileName(L"URL", path)) return;
    path += L".url";

    bool written = false;
    {
        ScopedFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file) return;
        const std::string content = "[InternetShortcut]\r\nURL=" + ToThreadAnsi(url) + "\r\n";
        DWORD done = 0;
        written = ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &done, nullptr) &&
                  done == content.size();
    }
    // The file is closed before the shell reads it.
    if (written) ::ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
}

void ShellSiteOpener::LogLine(const WideString& text) {
    if (LogEnabled) Log.WriteLine(text);
}

void ShellSiteOpener::OpenSite(const WideString& url) { ::OpenSite(url); }
