#pragma once

#include <cstdint>

#include "base/wide_string.h"

// Opens a file through the shell with the verb "open". With `exitCode`, waits
// for the started program without a time limit and stores its exit code;
// when the shell handed the file to a program that was already running,
// there is nothing to wait for and `exitCode` keeps its value. False when the
// shell did not accept the file; the last error then says why.
bool LaunchFile(const WideString& path, const WideString& arguments, uint32_t* exitCode, bool hidden);
