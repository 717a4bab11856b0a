#include "detect/platform_win.h"

#include <windows.h>

namespace {

struct VersionRecord {
    uint32_t Major = 0;
    uint32_t Minor = 0;
    uint32_t Build = 0;
    uint32_t ServicePack = 0;
    bool Is64 = false;
};

VersionRecord g_record;
bool g_classKnown = false;
PlatformClass g_class = WinNT;
bool g_nameKnown = false;
WideString g_name;

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
typedef BOOL(WINAPI* Wow64DisableFn)(PVOID*);
typedef BOOL(WINAPI* Wow64RevertFn)(PVOID);

bool g_redirectionLooked = false;
Wow64DisableFn g_disable = nullptr;
Wow64RevertFn g_revert = nullptr;

// Windows 2000 and XP before SP2 lack some kernel32 entries: look them up.
FARPROC Kernel32Entry(const char* name) {
    HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? ::GetProcAddress(kernel32, name) : nullptr;
}

const VersionRecord& Record() {
    if (g_record.Major == 0 && g_record.Minor == 0 && g_record.Build == 0 && g_record.ServicePack == 0) {
        OsVersionInfo version;
        ReadOsVersion(version);
        g_record.Major = version.MajorVersion;
        g_record.Minor = version.MinorVersion;
        g_record.Build = version.BuildNumber;
        g_record.ServicePack = version.Extended ? version.ServicePackMajor : 0;
#ifdef _WIN64
        // A 64-bit build runs on 64-bit Windows by definition.
        g_record.Is64 = true;
#else
        IsWow64ProcessFn isWow64 = reinterpret_cast<IsWow64ProcessFn>(
            reinterpret_cast<void*>(Kernel32Entry("IsWow64Process")));
        BOOL wow64 = FALSE;
        g_record.Is64 = isWow64 && isWow64(::GetCurrentProcess(), &wow64) && wow64;
#endif
    }
    return g_record;
}

}  // namespace

bool ReadOsVersion(OsVersionInfo& version) {
    version = OsVersionInfo();
    OSVERSIONINFOEXW extended = {};
    extended.dwOSVersionInfoSize = sizeof extended;
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
        version.Extended = true;
        version.ServicePackMajor = extended.wServicePackMajor;
        version.ServicePackMinor = extended.wServicePackMinor;
        version.SuiteMask = extended.wSuiteMask;
        version.ProductType = extended.wProductType;
    } else {
        OSVERSIONINFOW plain = {};
        plain.dwOSVersionInfoSize = sizeof plain;
        if (!::GetVersionExW(&plain)) return false;
        memcpy(&extended, &plain, sizeof plain);
    }
    version.MajorVersion = extended.dwMajorVersion;
    version.MinorVersion = extended.dwMinorVersion;
    version.BuildNumber = extended.dwBuildNumber;
    version.PlatformId = extended.dwPlatformId;
    // At most 127 characters, whether or not Windows terminated the text.
    size_t length = 0;
    while (length < 127 && extended.szCSDVersion[length]) ++length;
    version.CSDVersion.assign(extended.szCSDVersion, length);
    return true;
}

PlatformClass GetPlatformClass() {
    if (!g_classKnown) {
        if (::GetVersion() & 0x80000000u) g_class = Win9x;
        else g_class = IsWindows64() ? WinNT64 : WinNT;
        g_classKnown = true;
    }
    return g_class;
}

bool IsWindows64() { return Record().Is64; }

bool WindowsVersionAtLeast(uint32_t major, uint32_t minor, uint32_t servicePack, uint32_t build) {
    const VersionRecord& r = Record();
    if (r.Major != major) return r.Major > major;
    if (r.Minor != minor) return r.Minor > minor;
    if (r.ServicePack != servicePack) return r.ServicePack > servicePack;
    if (r.Build != build) return r.Build > build;
    return true;
}

const WideString& WindowsVersionName() {
    if (!g_nameKnown) {
        OsVersionInfo version;
        g_name = ReadOsVersion(version) ? WindowsVersionNameFor(version, IsWindows64()) : L"OsNotIdentified";
        g_nameKnown = true;
    }
    return g_name;
}

void DisableFsRedirection(FsRedirection& state) {
    if (!g_redirectionLooked) {
        g_disable = reinterpret_cast<Wow64DisableFn>(
            reinterpret_cast<void*>(Kernel32Entry("Wow64DisableWow64FsRedirection")));
        g_revert = reinterpret_cast<Wow64RevertFn>(
            reinterpret_cast<void*>(Kernel32Entry("Wow64RevertWow64FsRedirection")));
        g_redirectionLooked = true;
    }
    if (!g_disable) return;
    g_disable(&state.OldValue);
    state.Disabled = true;
}

void RestoreFsRedirection(FsRedirection& state) {
    if (!state.Disabled || !g_revert) return;
    g_revert(state.OldValue);
    state.Disabled = false;
}
