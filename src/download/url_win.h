#pragma once

#include <cstdint>

#include "base/wide_string.h"

// URLs as WinINet cracks them: the URL is taken as it stands, nothing in it
// is decoded or escaped.

struct UrlParts {
    int32_t Scheme = 0;  // WinINet's scheme number (see UrlScheme)
    uint16_t Port = 0;   // as written, or the scheme's default
    WideString Host;
    WideString Path;  // from its leading "/", without query and fragment
    WideString UserName;
    WideString Password;
    WideString ExtraInfo;  // query and fragment, from their "?" or "#"
};

// 0 for FTP, Gopher, HTTP and HTTPS; ERROR_FILE_NOT_FOUND for any other
// scheme; the cracking error when the text is no URL. `scheme` is set when
// the URL cracks.
uint32_t CheckUrlScheme(const WideString& url, int32_t& scheme);
// 0 and the parts, or the cracking error.
uint32_t SplitUrl(const WideString& url, UrlParts& parts);
// The host name, or empty when the URL does not crack.
WideString HostFromUrl(const WideString& url);
// The engine's local path: the target, or a name made from the URL, placed
// in the base folder unless it is absolute. Empty only when the target is
// empty and the URL does not crack.
WideString DefaultTargetPath(const WideString& target, const WideString& url, const WideString& baseFolder);
