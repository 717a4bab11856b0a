#pragma once

#include <cstdint>
#include <vector>

#include "base/wide_string.h"

// Path rules that are pure text: "\" is the separator, nothing touches the disk.

// Appends "\" unless the path is empty or already ends with one.
void AppendBackslash(WideString& path);
// Everything before the last "\", or empty when there is none.
WideString ParentFolder(const WideString& path);
// Replaces everything from the last "." on (which may lie in a folder name) by
// `extension`; a path without "." is left alone.
void ReplaceExtension(WideString& path, const WideString& extension);
// Replaces each character Windows forbids in file names by "_".
void SanitizeFileName(WideString& name);
// Longer than two characters, two leading backslashes, third not "?".
bool IsUncPath(const WideString& path);
// Starts with exactly "\\?\".
bool HasLongPathPrefix(const WideString& path);
WideString SkipLongPathPrefix(const WideString& path);
// Two leading backslashes, or ":" as the second character.
bool IsAbsolutePath(const WideString& path);
// Whether a path is worth looking up on disk at all: relative paths never are.
bool IsLookupCandidate(const WideString& path);
// The root (with any long-path prefix) followed by the components; a path
// that starts with a single "\" gives the components alone.
std::vector<WideString> SplitPath(const WideString& path);
// Rebuilds a path from SplitPath, dropping the trailing dots and blanks of
// each component (so "." and ".." vanish) and joining a component directly to
// an unexpanded "[Folder]" reference.
WideString NormalizePath(const WideString& path);
