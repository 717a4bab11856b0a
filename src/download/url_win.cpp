#include "download/url_win.h"

#include <windows.h>
#include <wininet.h>

#include "download/url_rules.h"

namespace {

// With a non-zero length and no buffer WinINet points into the URL and
// reports the part's length instead of copying it.
const DWORD kPartWanted = 100;
const DWORD kPathWanted = 260;

URL_COMPONENTSW EmptyComponents() {
    URL_COMPONENTSW components;
    ::ZeroMemory(&components, sizeof(components));
    components.dwStructSize = sizeof(components);
    return components;
}

// Length 0: the URL ends at its terminating zero. No flags: nothing decoded.
// A port above 65535 fails as an invalid URL instead of being cut to 16
// bits, which some WinINet versions do.
bool Crack(const WideString& url, URL_COMPONENTSW& components) {
    if (!UrlPortFits(url)) {
        ::SetLastError(ERROR_INTERNET_INVALID_URL);
        return false;
    }
    return ::InternetCrackUrlW(url.c_str(), 0, 0, &components) != FALSE;
}

// A failed crack must never read as success.
uint32_t CrackError() {
    const DWORD error = ::GetLastError();
    return error != 0 ? error : ERROR_INTERNET_INVALID_URL;
}

WideString Part(const wchar_t* text, DWORD length) {
    return text != nullptr ? WideString(text, length) : WideString();
}

}  // namespace

uint32_t CheckUrlScheme(const WideString& url, int32_t& scheme) {
    URL_COMPONENTSW components = EmptyComponents();
    if (!Crack(url, components)) return CrackError();
    scheme = components.nScheme;
    switch (components.nScheme) {
    case INTERNET_SCHEME_FTP:
    case INTERNET_SCHEME_GOPHER:
    case INTERNET_SCHEME_HTTP:
    case INTERNET_SCHEME_HTTPS:
        return 0;
    default:
        return ERROR_FILE_NOT_FOUND;
    }
}

uint32_t SplitUrl(const WideString& url, UrlParts& parts) {
    URL_COMPONENTSW components = EmptyComponents();
    components.dwHostNameLength = kPartWanted;
    components.dwUserNameLength = kPartWanted;
    components.dwPasswordLength = kPartWanted;
    components.dwUrlPathLength = kPartWanted;
    components.dwExtraInfoLength = kPartWanted;
    if (!Crack(url, components)) return CrackError();

    parts.Scheme = components.nScheme;
    parts.Port = components.nPort;
    parts.Host = Part(components.lpszHostName, components.dwHostNameLength);
    parts.Path = Part(components.lpszUrlPath, components.dwUrlPathLength);
    parts.UserName = Part(components.lpszUserName, components.dwUserNameLength);
    parts.Password = Part(components.lpszPassword, components.dwPasswordLength);
    parts.ExtraInfo = Part(components.lpszExtraInfo, components.dwExtraInfoLength);
    return 0;
}

WideString HostFromUrl(const WideString& url) {
    URL_COMPONENTSW components = EmptyComponents();
    components.dwHostNameLength = kPartWanted;
    if (!Crack(url, components)) return WideString();
    return Part(components.lpszHostName, components.dwHostNameLength);
}

WideString DefaultTargetPath(const WideString& target, const WideString& url, const WideString& baseFolder) {
    WideString name = target;
    if (name.empty()) {
        // Without the extra information asked for separately, the query
        // stays in the path, where the naming rules look for it.
        URL_COMPONENTSW components = EmptyComponents();
        components.dwUrlPathLength = kPathWanted;
        if (!Crack(url, components)) return WideString();
        name = TargetNameFromUrlPath(Part(components.lpszUrlPath, components.dwUrlPathLength), components.nScheme);
    }
    return TargetPathInFolder(name, baseFolder);
}
