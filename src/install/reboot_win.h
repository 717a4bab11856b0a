#pragma once

#include <windows.h>

// Restarts Windows after an installer that needs it. Outside silent mode the
// user is asked first (string-table entries 216 and 217); a No sets
// `rebootRefused` and gives false. Otherwise the result of RebootNow.
bool RequestReboot(bool silent, bool& rebootRefused);

// Enables the shutdown privilege and asks Windows for a forced restart. True
// when Windows accepted the request; the restart then ends this process too.
bool RebootNow();

// The calls through which the reboot reaches the user and Windows, named after
// them. They are the real ones; a test puts doubles in their place to see what
// the chain does once a restart has been requested, without restarting.
struct RebootSystemCalls {
    int(WINAPI* MessageBoxW)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
    BOOL(WINAPI* AdjustTokenPrivileges)(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD bufferLength,
                                        PTOKEN_PRIVILEGES previousState, PDWORD returnLength);
    BOOL(WINAPI* ExitWindowsEx)(UINT flags, DWORD reason);
};
extern RebootSystemCalls RebootSystem;
