#include "detect/ie_probe.h"

#include "config/setup_config.h"

bool InternetExplorerMajorFromValues(bool haveVersion, const WideString& version, bool haveIVer,
                                     const WideString& iver, int32_t& major) {
    if (haveVersion) {
        const size_t first = version.find(L'.');
        if (first != WideString::npos && version.find(L'.', first + 1) != WideString::npos) {
            major = ParseInt(version.substr(0, first));
            return true;
        }
    }
    if (!haveIVer) return false;
    if (iver == L"100") {
        major = 1;
    } else if (iver == L"101" || iver == L"102") {
        major = 2;
    } else if (iver == L"103") {
        major = 3;
    } else {
        return false;
    }
    return true;
}
