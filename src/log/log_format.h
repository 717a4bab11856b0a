#pragma once

#include "base/wide_string.h"

// The fixed texts and the time stamp of the log file.

// Written each time the file is opened: a blank line, the title, a line break.
extern const wchar_t kLogHeader[];
// The last line of a run's log, with a line break of its own.
extern const wchar_t kLogEndMarker[];

// "%04d-%02d-%02d @%02d:%02d:%02d" of a local time.
WideString FormatLogTimeStamp(int year, int month, int day, int hour, int minute, int second);
