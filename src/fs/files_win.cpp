#include "fs/files_win.h"

#include "base/scoped_win.h"
#include "fs/paths.h"

namespace {

bool IsDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

}  // namespace

WideString GetTempFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
    // A result at least as long as the buffer is the size it would need.
    if (length == 0 || length >= MAX_PATH) return WideString();
    WideString folder(buffer, length);
    AppendBackslash(folder);
    return folder;
}

bool MakeTempFileName(const WideString& prefix, WideString& name) {
    name.clear();
    wchar_t folder[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) return false;
    wchar_t file[MAX_PATH];
    if (::GetTempFileNameW(folder, prefix.c_str(), 0, file) == 0) return false;
    ::DeleteFileW(file);
    name = file;
    return true;
}

bool PathExists(const WideString& path) {
    if (!IsLookupCandidate(path)) return false;
    WIN32_FIND_DATAW data;
    ScopedFind find(::FindFirstFileW(path.c_str(), &data));
    return find.Valid();
}

uint32_t CreateFolderPath(const WideString& path, bool includeLast, std::vector<WideString>* created) {
    WinFolderSystem fs;
    return CreateFolderPath(fs, path, includeLast, created);
}

void DeleteFolderContents(const WideString& folder) {
    // Depth-first without recursion: a tree reached through "\\?\" may be far
    // deeper than the stack would allow.
    struct Level {
        WideString folder;
        ScopedFind find;
        WIN32_FIND_DATAW data;
        bool more;
    };
    std::vector<Level> stack;

    auto open = [&stack](const WideString& dir) {
        stack.emplace_back();
        Level& level = stack.back();
        level.folder = dir;
        level.find.Reset(::FindFirstFileW((dir + L"\\*").c_str(), &level.data));
        level.more = level.find.Valid();
    };

    open(folder);
    while (!stack.empty()) {
        Level& level = stack.back();
        if (!level.more) {
            const WideString done = level.folder;
            stack.pop_back();
            if (!stack.empty()) ::RemoveDirectoryW(done.c_str());
            continue;
        }
        const WIN32_FIND_DATAW entry = level.data;
        // Fetch the next entry before this one is removed.
        level.more = ::FindNextFileW(level.find.Get(), &level.data) != FALSE;
        if (IsDotEntry(entry.cFileName)) continue;

        const WideString path = level.folder + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or folder link is removed as a link; what it points
            // to is not ours to empty.
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                ::RemoveDirectoryW(path.c_str());
            } else {
                open(path);  // invalidates `level`
            }
        } else {
            ::DeleteFileW(path.c_str());
        }
    }
}

void RemoveEmptyFolders(const WideString& path, const WideString& root) {
    WinFolderSystem fs;
    RemoveEmptyFolders(fs, path, root);
}

int32_t CountFolderEntries(const WideString& folder) {
    WIN32_FIND_DATAW data;
    ScopedFind find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return 0;
    int32_t count = 0;
    // Drive roots list no "." or "..": count by name rather than subtract 2.
    do {
        if (!IsDotEntry(data.cFileName)) ++count;
    } while (::FindNextFileW(find.Get(), &data));
    return count;
}

bool ReadFileVersion(const WideString& path, uint32_t& mostSignificant, uint32_t& leastSignificant) {
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    mostSignificant = fixed->dwFileVersionMS;
    leastSignificant = fixed->dwFileVersionLS;
    return true;
}

std::vector<WideString> ListFixedDrives() {
    std::vector<WideString> drives;
    wchar_t buffer[100];
    const DWORD length = ::GetLogicalDriveStringsW(100, buffer);
    if (length == 0 || length > 100) return drives;
    for (const wchar_t* root = buffer; *root && root < buffer + length; root += wcslen(root) + 1) {
        if (::GetDriveTypeW(root) == DRIVE_FIXED) drives.push_back(root);
    }
    return drives;
}

bool GetEnvironmentText(const WideString& name, WideString& value) {
    value.clear();
    DWORD size = 256;
    for (;;) {
        WideString buffer(size, L'\0');
        ::SetLastError(0);
        const DWORD length = ::GetEnvironmentVariableW(name.c_str(), &buffer[0], size);
        if (length == 0) {
            // Set but empty is still set.
            return ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        }
        if (length < size) {
            value.assign(buffer.data(), length);
            return true;
        }
        size = length;
    }
}

bool WinFolderSystem::PathExists(const WideString& path) { return ::PathExists(path); }

uint32_t WinFolderSystem::CreateFolder(const WideString& path) {
    return ::CreateDirectoryW(path.c_str(), nullptr) ? 0 : ::GetLastError();
}

bool WinFolderSystem::RemoveFolder(const WideString& path) {
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}
