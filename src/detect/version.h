#pragma once

#include <cstdint>
#include <vector>

#include "base/wide_string.h"

// Four signed parts, major first. All zero stands for "no version": an empty
// text, a text without digits, one that failed to parse, or "0" itself.
struct VersionQuad {
    int32_t Parts[4] = {0, 0, 0, 0};

    bool IsZero() const { return Parts[0] == 0 && Parts[1] == 0 && Parts[2] == 0 && Parts[3] == 0; }
    // A file-version bound is unset when zero or when every part is 65535.
    bool IsUnsetBound() const;
};

// Each maximal run of digits is the next part; anything else only separates
// parts; after four parts the rest is ignored. Fails (zero quad) for a text
// without digits or with a part above 2147483647.
bool ParseVersion(const WideString& text, VersionQuad& version);
VersionQuad ParseVersion(const WideString& text);

// -1, 0 or 1, part by part.
int CompareVersions(const VersionQuad& a, const VersionQuad& b);

// The parts up to the last one that is neither 0 nor 65535, at least two;
// "0.0.0.0" when there is none.
WideString VersionToText(const VersionQuad& version);

// "%d.%d.%d.%d" of the four 16-bit halves of a file's version, high first.
WideString FileVersionText(uint32_t mostSignificant, uint32_t leastSignificant);

// Inclusive bounds, a zero bound meaning none: whether any found text is an
// acceptable version. With no bound at all, finding anything is enough.
bool AcceptableVersionFound(const std::vector<WideString>& found, const WideString& verMin,
                            const WideString& verMax);

// Inclusive bounds, an unset bound meaning none; a zero version is not
// skipped here.
bool FileVersionInRange(const VersionQuad& version, const VersionQuad& verMin, const VersionQuad& verMax);
