#pragma once

#include <cstdint>
#include <vector>

#include "base/wide_string.h"

// The few folder operations that folder-chain creation and removal need, so
// that their rules can be exercised against a fake as well as the real disk.
class FolderSystem {
public:
    virtual ~FolderSystem() = default;
    // Anything (file or folder) found for the path; relative paths never are.
    virtual bool PathExists(const WideString& path) = 0;
    // 0, or the Windows error code of the failed creation.
    virtual uint32_t CreateFolder(const WideString& path) = 0;
    // Succeeds only for an empty folder.
    virtual bool RemoveFolder(const WideString& path) = 0;
};

const uint32_t kErrorAlreadyExists = 183;

// Creates the missing folders of `path` from the top down; the last component
// is a file name unless `includeLast`. Folders created are appended to
// `created` when given. Returns 0 or the Windows error code that stopped it.
uint32_t CreateFolderPath(FolderSystem& fs, const WideString& path, bool includeLast,
                          std::vector<WideString>* created);

// Removes `path` and then its parents while they lie below `root`; folders
// that are not empty stay.
void RemoveEmptyFolders(FolderSystem& fs, const WideString& path, const WideString& root);
