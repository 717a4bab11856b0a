#pragma once

#include "base/wide_string.h"

// The configuration file that belongs to an executable: same folder, same
// base name (cut before its last "."), extension ".ini". The letter case of
// the base name is kept.
WideString IniPathForModule(const WideString& modulePath);
