#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/wide_string.h"
#include "fs/folders.h"

// The path and file routines that need the file system. None of them logs;
// failures mean "nothing found" or "nothing done" unless a result says more.

// The temporary folder with a trailing "\", or empty when it cannot be had.
WideString GetTempFolder();
// A unique name in the temporary folder, made by creating and at once deleting
// an empty file. False and an empty name when that fails.
bool MakeTempFileName(const WideString& prefix, WideString& name);
// True when anything, file or folder, is found for an absolute path; wildcards
// count. Relative paths are never looked up.
bool PathExists(const WideString& path);
// Creates the missing folders of `path`; see folders.h.
uint32_t CreateFolderPath(const WideString& path, bool includeLast, std::vector<WideString>* created);
// Empties a folder and leaves it in place; what cannot go stays.
void DeleteFolderContents(const WideString& folder);
// Removes `path` and its parents while they are empty and below `root`.
void RemoveEmptyFolders(const WideString& path, const WideString& root);
// Entries of a folder other than "." and ".."; 0 when it cannot be listed.
int32_t CountFolderEntries(const WideString& folder);
// The file version of a file's version resource, high and low 32 bits;
// false when the file has none that can be read.
bool ReadFileVersion(const WideString& path, uint32_t& mostSignificant, uint32_t& leastSignificant);

// Roots of the fixed drives, such as "C:\", in the order Windows lists them.
std::vector<WideString> ListFixedDrives();
// The whole value of an environment variable; false when it is not set.
bool GetEnvironmentText(const WideString& name, WideString& value);

// FolderSystem answered by the real disk.
class WinFolderSystem : public FolderSystem {
public:
    bool PathExists(const WideString& path) override;
    uint32_t CreateFolder(const WideString& path) override;
    bool RemoveFolder(const WideString& path) override;
};
