#pragma once

#include "base/wide_string.h"

// Fills a string-table pattern such as "%s Setup": the first "%s" becomes
// `argument` and "%%" becomes "%". Everything else, including a second "%s"
// or any other "%" sequence, is kept as it stands, so a pattern that does not
// fit the one argument can never read past it.
WideString FormatText(const WideString& pattern, const WideString& argument);

// The same with two arguments: the first "%s" becomes `first`, the second
// `second`; a third is kept as it stands.
WideString FormatText(const WideString& pattern, const WideString& first, const WideString& second);
