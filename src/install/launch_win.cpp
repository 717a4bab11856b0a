#include "install/launch_win.h"

#include <windows.h>
#include <shellapi.h>

#include "base/scoped_win.h"
#include "fs/paths.h"

bool LaunchFile(const WideString& path, const WideString& arguments, uint32_t* exitCode, bool hidden) {
    // The shell does not take the long-path prefix.
    const WideString file = SkipLongPathPrefix(path);
    const size_t slash = file.rfind(L'\\');
    const WideString folder = slash == WideString::npos ? WideString() : file.substr(0, slash);

    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_FLAG_NO_UI | (exitCode ? SEE_MASK_NOCLOSEPROCESS : 0);
    request.lpVerb = L"open";
    request.lpFile = file.c_str();
    request.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    request.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    request.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&request)) return false;

    if (exitCode && request.hProcess) {
        ScopedHandle process(request.hProcess);
        ::WaitForSingleObject(process.Get(), INFINITE);
        DWORD code = 0;
        if (::GetExitCodeProcess(process.Get(), &code)) *exitCode = code;
    }
    return true;
}
