#pragma once

#include "base/wide_string.h"

// The mutex a running Windows Installer installation holds.
extern const wchar_t kInstallerMutexName[];

// Waits, without a time limit, until no Windows Installer installation holds
// its mutex. 0 when the chain may start, 1 when it may not (the mutex exists
// but cannot be waited on, or the wait did not end normally).
int WaitForInstallerIdle();
