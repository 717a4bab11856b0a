#pragma once

#include "base/wide_string.h"

// Sends the user's browser to `url`: writes an Internet shortcut for it into
// the temporary folder and has the shell open that file. Reports nothing and
// does not wait; the shortcut stays behind.
void OpenSite(const WideString& url);
