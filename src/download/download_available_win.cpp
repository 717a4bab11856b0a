#include "download/download_available_win.h"

#include <windows.h>

#include "base/scoped_win.h"
#include "download/url_rules.h"

bool IsDownloadAvailable(const WideString& baseFolder, const WideString& location, const WideString& folder,
                         int32_t exactSize) {
    if (IsFileUrl(location)) return true;

    const WideString path = LocalPathForDownload(baseFolder, location, folder);
    WIN32_FIND_DATAW found;
    ScopedFind find(::FindFirstFileW(path.c_str(), &found));
    if (!find) return false;
    return exactSize == 0 || static_cast<DWORD>(exactSize) == found.nFileSizeLow;
}
