#pragma once

#include <cstdint>

#include "base/wide_string.h"

// How the download code names local files after URLs. Pure text: nothing is
// decoded, escaped or looked up.

// The scheme numbers that WinINet's URL cracking reports.
enum UrlScheme : int32_t {
    SchemeFtp = 1,
    SchemeGopher = 2,
    SchemeHttp = 3,
    SchemeHttps = 4,
    SchemeFile = 5,
};

// Whether Windows allows the character in a file name: everything but
// \ / : * ? " < > |.
bool IsFileNameChar(wchar_t c);

// Whether the location begins with "file://", in exactly that case.
bool IsFileUrl(const WideString& location);
// The rest of a location after a leading "file://" (exact case), or empty.
WideString LocalPathFromFileUrl(const WideString& location);

// The file name at the end of a URL: at most 40 characters, all allowed in
// file names; empty when none can be found.
WideString FileNameFromUrl(const WideString& url);

// Where a prerequisite's download goes. `folder` is a subfolder, optionally
// followed by "?" and the file name; without a file name the URL's is used.
WideString LocalPathForDownload(const WideString& baseFolder, const WideString& url, const WideString& folder);

// False when the URL names a port that does not fit in 16 bits, such as
// "http://host:70000/": some URL crackers silently cut such a port to 16
// bits, which would connect somewhere the URL never named. True for a URL
// without a port or without an authority.
bool UrlPortFits(const WideString& url);

// The name the engine gives a download that has no target, from the URL path
// as cracked with its query still attached. Always ends with ".vtu".
WideString TargetNameFromUrlPath(const WideString& urlPath, int32_t scheme);

// A target name made absolute: a name with ":" after its first character is
// taken as it is, anything else goes into the base folder (when there is one).
WideString TargetPathInFolder(const WideString& name, const WideString& baseFolder);
