#pragma once

#include <cstdint>

#include "base/wide_string.h"

// What Windows says of its version (GetVersionExW), as plain data.
struct OsVersionInfo {
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    uint32_t BuildNumber = 0;
    uint32_t PlatformId = 0;
    WideString CSDVersion;
    // Only in the extended record.
    bool Extended = false;
    uint32_t ServicePackMajor = 0;
    uint32_t ServicePackMinor = 0;
    uint32_t SuiteMask = 0;
    uint32_t ProductType = 0;
};

enum PlatformClass : int32_t {
    Win9x = 0,
    WinNT = 1,
    WinNT64 = 2,
};

const uint32_t kProductWorkstation = 1;

// The fixed name of a Windows version that the configuration's version lists
// contain, such as "Windows 7 x64 Service Pack 1", or "OsNotIdentified".
WideString WindowsVersionNameFor(const OsVersionInfo& version, bool is64);

// The log's description of the running Windows, one text ending with a blank line.
WideString OsVersionLogText(const OsVersionInfo& version);
