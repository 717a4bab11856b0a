#include "app/installer_idle_win.h"

#include <windows.h>

#include "base/scoped_win.h"

const wchar_t kInstallerMutexName[] = L"Global\\_MSIExecute";

int WaitForInstallerIdle() {
    ScopedHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kInstallerMutexName));
    if (!mutex) {
        // Not found means no installation is running.
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : 1;
    }
    const DWORD wait = ::WaitForSingleObject(mutex.Get(), INFINITE);
    // The wait made this thread the mutex's owner, and closing the handle
    // would not end that. Give it back at once: the installers this chain
    // starts later must find Windows Installer free.
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ::ReleaseMutex(mutex.Get());
    return wait == WAIT_OBJECT_0 ? 0 : 1;
}
