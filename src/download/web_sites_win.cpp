#include "download/web_sites_win.h"

#include <windows.h>
#include <shellapi.h>

#include "base/narrow_text_win.h"
#include "base/scoped_win.h"
#include "fs/files_win.h"
#include "log/log_file_win.h"

void OpenSite(const WideString& url) {
    WideString path;
    if (!MakeTempFileName(L"URL", path)) return;
    path += L".url";

    bool written = false;
    {
        ScopedFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file) return;
        // The browser's side of the shell reads the shortcut in the ANSI code page.
        const NarrowText content = "[InternetShortcut]\r\nURL=" + ThreadAnsiText(url) + "\r\n";
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
