#pragma once

#include "base/wide_string.h"
#include "detect/platform.h"

// What Windows reports of itself: the extended record when it can be had,
// else the plain one. False when neither can.
bool ReadOsVersion(OsVersionInfo& version);

// Facts about the running Windows, computed on first use and kept. The chain
// reads them first during the first detection, before other threads use them.
PlatformClass GetPlatformClass();
bool IsWindows64();
bool WindowsVersionAtLeast(uint32_t major, uint32_t minor, uint32_t servicePack, uint32_t build);
const WideString& WindowsVersionName();

// File-system redirection switched off around a 64-bit view and back on.
// Nothing happens where Windows has no redirection.
struct FsRedirection {
    void* OldValue = nullptr;
    bool Disabled = false;
};
void DisableFsRedirection(FsRedirection& state);
void RestoreFsRedirection(FsRedirection& state);
