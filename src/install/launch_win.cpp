#include "install/launch_win.h"

#include <windows.h>
#include <shellapi.h>

#include "base/scoped_win.h"
#include "install/launch_request.h"

bool LaunchFile(const WideString& path, const WideString& arguments, uint32_t* exitCode, bool hidden) {
    const LaunchRequest launch = MakeLaunchRequest(path, arguments);

    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_FLAG_NO_UI | (exitCode ? SEE_MASK_NOCLOSEPROCESS : 0);
    request.lpVerb = L"open";
    request.lpFile = launch.File.c_str();
    request.lpParameters = launch.HasParameters ? arguments.c_str() : nullptr;
    request.lpDirectory = launch.Directory.empty() ? nullptr : launch.Directory.c_str();
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
