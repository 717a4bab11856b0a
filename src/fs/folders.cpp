#include "fs/folders.h"

#include "fs/paths.h"

uint32_t CreateFolderPath(FolderSystem& fs, const WideString& path, bool includeLast,
                          std::vector<WideString>* created) {
    if (fs.PathExists(path)) return 0;
    const std::vector<WideString> parts = SplitPath(path);
    if (parts.empty()) return 0;

    const bool unc = IsUncPath(path);
    const size_t count = includeLast ? parts.size() : parts.size() - 1;
    // A path that starts with a single "\" has an empty root: its folders
    // are "\a", "\a\b"... on the current drive, not "a", "a\b" below the
    // current folder.
    const bool rootless = path[0] == L'\\' && !unc && !HasLongPathPrefix(path);
    const size_t first = rootless ? 0 : 1;
    WideString folder = rootless ? WideString() : parts[0];
    // Folders this call made itself: only those are ever rolled back.
    std::vector<WideString> madeHere;
    uint32_t lastError = 0;

    for (size_t i = first; i < count; ++i) {
        const WideString above = folder;
        folder += L'\\';
        folder += parts[i];

        const uint32_t error = fs.CreateFolder(folder);
        if (error == 0) {
            madeHere.push_back(folder);
            if (created) created->push_back(folder);
            lastError = 0;
            continue;
        }
        lastError = error;
        // A folder that exists is what we want; on a UNC path the server and
        // share cannot be created, so their failures say nothing.
        if (error == kErrorAlreadyExists || unc) continue;

        // Undo only the level above, and only when this call created it: an
        // empty folder that was there before is left alone.
        if (i > first && !madeHere.empty() && madeHere.back() == above) {
            if (fs.RemoveFolder(above)) {
                madeHere.pop_back();
                if (created && !created->empty() && created->back() == above) created->pop_back();
            }
        }
        return error;
    }
    return lastError == kErrorAlreadyExists ? 0 : lastError;
}

void RemoveEmptyFolders(FolderSystem& fs, const WideString& path, const WideString& root) {
    WideString limit = root;
    if (!limit.empty() && limit.back() == L'\\') limit.pop_back();
    WideString current = path;
    while (current.size() > limit.size()) {
        const WideString parent = ParentFolder(current);
        if (parent.empty()) break;
        fs.RemoveFolder(current);
        current = parent;
    }
}
