#pragma once

#include "base/narrow_text.h"
#include "base/wide_string.h"

// The text in the thread's ANSI code page. A character the code page lacks
// becomes the code page's default character rather than a look-alike.
NarrowText ThreadAnsiText(const WideString& text);
