#pragma once

#include <cstdint>

#include "base/wide_string.h"

// The Internet Explorer major version from the registry texts: "Version"
// when it has at least two "." (the number before the first), else the old
// "IVer" codes 100 to 103. False when neither tells.
bool InternetExplorerMajorFromValues(bool haveVersion, const WideString& version, bool haveIVer,
                                     const WideString& iver, int32_t& major);
