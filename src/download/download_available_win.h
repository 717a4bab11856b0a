#pragma once

#include <cstdint>

#include "base/wide_string.h"

// Whether a prerequisite's file is already there, so that it need not be
// downloaded: a "file://" location always is (nothing is looked at on disk);
// otherwise the file at LocalPathForDownload must exist and, unless
// `exactSize` is 0, have that size. The checksum is not looked at.
bool IsDownloadAvailable(const WideString& baseFolder, const WideString& location, const WideString& folder,
                         int32_t exactSize);
