#include "detect/ie_probe_win.h"

#include "detect/ie_probe.h"
#include "detect/registry_win.h"

bool InternetExplorerMajorVersion(int32_t& major) {
    ScopedRegKey key;
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer", 0, SearchAccess(false),
                        &handle) != ERROR_SUCCESS) {
        return false;
    }
    key.Reset(handle);
    WideString version, iver;
    const bool haveVersion = ReadValueText(key.Get(), L"Version", version);
    // "IVer" is read only when "Version" does not tell.
    int32_t fromVersion = 0;
    if (InternetExplorerMajorFromValues(haveVersion, version, false, WideString(), fromVersion)) {
        major = fromVersion;
        return true;
    }
    const bool haveIVer = ReadValueText(key.Get(), L"IVer", iver);
    return InternetExplorerMajorFromValues(false, WideString(), haveIVer, iver, major);
}
