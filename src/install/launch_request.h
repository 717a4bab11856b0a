#pragma once

#include "base/wide_string.h"

// What LaunchFile asks the shell to open, apart from the arguments
// themselves, which pass unchanged.
struct LaunchRequest {
    // The path without a leading "\\?\", which the shell does not accept.
    WideString File;
    // The file's folder, the same way; empty for a bare name, so that the
    // shell uses the current directory.
    WideString Directory;
    // False for an empty argument string: the shell then gets no parameters
    // at all rather than an empty text.
    bool HasParameters = false;
};

LaunchRequest MakeLaunchRequest(const WideString& path, const WideString& arguments);
