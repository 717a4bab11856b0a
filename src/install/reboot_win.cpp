#include "install/reboot_win.h"

#include <windows.h>

#include "base/scoped_win.h"
#include "base/string_table_win.h"
#include "resources/resource.h"

RebootSystemCalls RebootSystem = {::MessageBoxW, ::AdjustTokenPrivileges, ::ExitWindowsEx};

bool RequestReboot(bool silent, bool& rebootRefused) {
    if (!silent) {
        const WideString text = LoadStringText(IDS_REBOOT_QUESTION);
        const WideString caption = LoadStringText(IDS_REBOOT_CAPTION);
        if (RebootSystem.MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONINFORMATION) == IDNO) {
            rebootRefused = true;
            return false;
        }
    }
    return RebootNow();
}

bool RebootNow() {
    {
        ScopedHandle token;
        HANDLE opened = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened)) return false;
        token.Reset(opened);

        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return false;
        // The adjustment succeeds even when the account lacks the privilege;
        // only the last error (ERROR_NOT_ALL_ASSIGNED) tells.
        ::SetLastError(ERROR_SUCCESS);
        RebootSystem.AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
        if (::GetLastError() != ERROR_SUCCESS) return false;
    }

    const DWORD kPlannedInstallation =
        SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_INSTALLATION;
    return RebootSystem.ExitWindowsEx(EWX_REBOOT | EWX_FORCE, kPlannedInstallation) != FALSE;
}
