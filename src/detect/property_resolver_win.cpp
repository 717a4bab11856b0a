#include "detect/property_resolver_win.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "base/scoped_win.h"
#include "detect/registry_path.h"
#include "detect/registry_win.h"
#include "fs/files_win.h"

namespace {

struct ShellFolder {
    const wchar_t* Name;
    int Csidl;
};

const ShellFolder kShellFolders[] = {
    {L"ProgramFilesFolder", CSIDL_PROGRAM_FILES},
    {L"CommonFilesFolder", CSIDL_PROGRAM_FILES_COMMON},
    {L"DesktopFolder", CSIDL_DESKTOPDIRECTORY},
    {L"AllUsersDesktopFolder", CSIDL_COMMON_DESKTOPDIRECTORY},
    {L"AppDataFolder", CSIDL_APPDATA},
    {L"FavoritesFolder", CSIDL_FAVORITES},
    {L"StartMenuFolder", CSIDL_STARTMENU},
    {L"ProgramMenuFolder", CSIDL_PROGRAMS},
    {L"StartupFolder", CSIDL_STARTUP},
    {L"FontsFolder", CSIDL_FONTS},
    {L"LocalAppDataFolder", CSIDL_LOCAL_APPDATA},
    {L"CommonAppDataFolder", CSIDL_COMMON_APPDATA},
    {L"ProgramFiles", CSIDL_PROGRAM_FILES},
};

typedef HRESULT(WINAPI* SHGetFolderPathFn)(HWND, int, HANDLE, DWORD, LPWSTR);

// shfolder.dll stays loaded once it has been loaded: the process is short.
bool g_shfolderLooked = false;
SHGetFolderPathFn g_shGetFolderPath = nullptr;

bool g_setupExeDirKnown = false;
WideString g_setupExeDir;

bool g_shellVersionKnown = false;
bool g_shellVersion5 = false;

// The text Windows wrote into a fixed buffer, up to its NUL.
WideString BufferText(const wchar_t* buffer, size_t capacity) {
    size_t length = 0;
    while (length < capacity && buffer[length]) ++length;
    return WideString(buffer, length);
}

enum ShellAnswer { ShellFound, ShellConversionFailed, ShellUnknown };

ShellAnswer ShellFolderPath(int csidl, WideString& folder) {
    LPITEMIDLIST item = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, csidl, &item)) && item) {
        wchar_t path[MAX_PATH] = {};
        const BOOL converted = ::SHGetPathFromIDListW(item, path);
        ::CoTaskMemFree(item);
        // The shell knows the folder but has no path for it: nothing else is
        // asked.
        if (!converted) return ShellConversionFailed;
        folder = BufferText(path, MAX_PATH) + L"\\";
        return ShellFound;
    }

    if (!g_shfolderLooked) {
        g_shfolderLooked = true;
        HMODULE shfolder = ::LoadLibraryW(L"shfolder.dll");
        if (shfolder) {
            g_shGetFolderPath = reinterpret_cast<SHGetFolderPathFn>(
                reinterpret_cast<void*>(::GetProcAddress(shfolder, "SHGetFolderPathW")));
        }
    }
    if (g_shGetFolderPath) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(g_shGetFolderPath(nullptr, csidl, nullptr, 0, path))) {
            folder = BufferText(path, MAX_PATH) + L"\\";
            return ShellFound;
        }
    }
    return ShellUnknown;
}

// A shell older than version 5 may know neither way; the environment
// still names two of its folders.
bool OldShellFolder(const WideString& name, WideString& folder) {
    if (ShellIsVersion5OrLater()) return false;
    const wchar_t* variable = nullptr;
    if (name == L"AppDataFolder") variable = L"APPDATA";
    if (name == L"ProgramFilesFolder" || name == L"ProgramFiles") variable = L"PROGRAMFILES";
    if (!variable) return false;
    WideString value;
    if (!GetEnvironmentText(variable, value)) return false;
    folder = value + L"\\";
    return true;
}

// The major version a shell library reports, or 0.
DWORD LibraryMajorVersion(const wchar_t* library) {
    ScopedModule module(::LoadLibraryW(library));
    if (!module) return 0;
    DLLGETVERSIONPROC getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(::GetProcAddress(module.Get(), "DllGetVersion")));
    if (getVersion) {
        DLLVERSIONINFO info = {};
        info.cbSize = sizeof info;
        return SUCCEEDED(getVersion(&info)) ? info.dwMajorVersion : 0;
    }
    // Without the entry the file version's major part tells.
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameW(module.Get(), path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return 0;
    uint32_t high = 0, low = 0;
    return ReadFileVersion(WideString(path, length), high, low) ? HIWORD(high) : 0;
}

}  // namespace

const WideString& SetupExeDir() {
    if (!g_setupExeDirKnown) {
        wchar_t module[MAX_PATH + 1] = {};
        const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
        const WideString path(module, length <= MAX_PATH + 1 ? length : 0);
        const size_t slash = path.rfind(L'\\');
        g_setupExeDir = slash == WideString::npos ? WideString() : path.substr(0, slash + 1);
        g_setupExeDirKnown = true;
    }
    return g_setupExeDir;
}

bool ShellIsVersion5OrLater() {
    if (!g_shellVersionKnown) {
        g_shellVersion5 = LibraryMajorVersion(L"Shlwapi.dll") >= 5 || LibraryMajorVersion(L"Shell32.dll") >= 5;
        g_shellVersionKnown = true;
    }
    return g_shellVersion5;
}

WideString PropertyResolver::ExpandReferences(const WideString& text) { return ::ExpandReferences(text, *this); }

bool PropertyResolver::ResolveFolderProperty(const WideString& name, WideString& folder) {
    wchar_t buffer[MAX_PATH] = {};
    if (name == L"ProgramFiles64Folder") {
        WideString value;
        if (GetEnvironmentText(L"ProgramW6432", value)) {
            folder = value + L"\\";
            return true;
        }
        return ResolveFolderProperty(L"ProgramFilesFolder", folder);
    }
    if (name == L"SystemFolder") {
        const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
        folder = BufferText(buffer, length < MAX_PATH ? length : 0) + L"\\";
        return true;
    }
    if (name == L"WindowsFolder" || name == L"WindowsVolume") {
        const UINT length = ::GetWindowsDirectoryW(buffer, MAX_PATH);
        const WideString windows = BufferText(buffer, length < MAX_PATH ? length : 0);
        folder = name == L"WindowsFolder" ? windows + L"\\" : windows.substr(0, 3);
        return true;
    }
    if (name == L"TempFolder") {
        const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
        folder = BufferText(buffer, length < MAX_PATH ? length : 0);
        return true;
    }
    if (name == L"SETUPEXEDIR") {
        folder = SetupExeDir();
        return true;
    }
    for (const ShellFolder& shell : kShellFolders) {
        if (name != shell.Name) continue;
        const ShellAnswer answer = ShellFolderPath(shell.Csidl, folder);
        if (answer == ShellFound) return true;
        return answer == ShellUnknown && OldShellFolder(name, folder);
    }
    return false;
}

bool PropertyResolver::FolderProperty(const WideString& name, WideString& folder) {
    return ResolveFolderProperty(name, folder);
}

WideString PropertyResolver::EnvironmentValue(const WideString& name) {
    WideString value;
    if (name.empty() || !GetEnvironmentText(name, value)) return WideString();
    return value;
}

WideString PropertyResolver::RegistryValue(const WideString& valuePath) {
    WideString keyPath, valueName, text;
    if (!SplitRegistryValuePath(valuePath, keyPath, valueName)) return WideString();
    ScopedRegKey key = OpenRegistryPath(keyPath, false);
    if (!key || !ReadValueText(key.Get(), valueName, text)) return WideString();
    return text;
}
