#pragma once

#include <cstdint>

// The installed Internet Explorer's major version, from the registry; false
// when it cannot be told.
bool InternetExplorerMajorVersion(int32_t& major);
