#include "detect/search_machine_win.h"

#include <windows.h>

#include "base/scoped_win.h"
#include "detect/registry_win.h"
#include "detect/version.h"
#include "fs/files_win.h"
#include "install/launch_win.h"

namespace {

// msi.dll is bound by ordinal, the way every Windows Installer version
// exports these three.
typedef UINT(WINAPI* MsiGetProductInfoFn)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);
typedef INT(WINAPI* MsiLocateComponentFn)(LPCWSTR, LPWSTR, LPDWORD);
typedef UINT(WINAPI* MsiEnumRelatedProductsFn)(LPCWSTR, DWORD, DWORD, LPWSTR);

struct MsiEntries {
    bool Looked = false;
    MsiGetProductInfoFn GetProductInfo = nullptr;
    MsiLocateComponentFn LocateComponent = nullptr;
    MsiEnumRelatedProductsFn EnumRelatedProducts = nullptr;
};

MsiEntries g_msi;

const MsiEntries& Msi() {
    if (!g_msi.Looked) {
        g_msi.Looked = true;
        // Loaded once and kept for the process.
        HMODULE msi = ::LoadLibraryW(L"msi.dll");
        if (msi) {
            g_msi.GetProductInfo = reinterpret_cast<MsiGetProductInfoFn>(
                reinterpret_cast<void*>(::GetProcAddress(msi, MAKEINTRESOURCEA(70))));
            g_msi.LocateComponent = reinterpret_cast<MsiLocateComponentFn>(
                reinterpret_cast<void*>(::GetProcAddress(msi, MAKEINTRESOURCEA(90))));
            g_msi.EnumRelatedProducts = reinterpret_cast<MsiEnumRelatedProductsFn>(
                reinterpret_cast<void*>(::GetProcAddress(msi, MAKEINTRESOURCEA(205))));
        }
    }
    return g_msi;
}

const UINT kMoreData = 234;  // ERROR_MORE_DATA
const INT kInstallStateLocal = 3;
const INT kInstallStateSource = 4;
const INT kInstallStateMoreData = -3;

}  // namespace

bool WinSearchMachine::KeyOpens(const RegistryKeyPath& key, bool view64) {
    return OpenRegistryKey(key, view64).Valid();
}

bool WinSearchMachine::SubkeyNames(const RegistryKeyPath& key, bool view64, std::vector<WideString>& names) {
    ScopedRegKey opened = OpenRegistryKey(key, view64);
    if (!opened) return false;
    for (DWORD index = 0;; ++index) {
        // A name of 260 characters or more does not fit, and ends the list.
        wchar_t name[260];
        DWORD length = 260;
        if (::RegEnumKeyExW(opened.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.push_back(WideString(name, length < 260 ? length : 0));
    }
    return true;
}

bool WinSearchMachine::ValueData(const RegistryKeyPath& key, const WideString& name, bool view64, WideString& text) {
    ScopedRegKey opened = OpenRegistryKey(key, view64);
    return opened && ReadValueData(opened.Get(), name, text);
}

bool WinSearchMachine::ValueExists(const RegistryKeyPath& key, const WideString& name, bool view64) {
    ScopedRegKey opened = OpenRegistryKey(key, view64);
    return opened && ::RegQueryValueExW(opened.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool WinSearchMachine::ValueText(const RegistryKeyPath& key, const WideString& name, bool view64, WideString& text) {
    ScopedRegKey opened = OpenRegistryKey(key, view64);
    return opened && ReadValueText(opened.Get(), name, text);
}

std::vector<WideString> WinSearchMachine::FixedDrives() { return ListFixedDrives(); }

bool WinSearchMachine::AnyFileMatches(const WideString& path) {
    WIN32_FIND_DATAW found;
    ScopedFind lookup(::FindFirstFileW(path.c_str(), &found));
    return lookup.Valid();
}

WideString WinSearchMachine::FileVersion(const WideString& path) {
    uint32_t high = 0, low = 0;
    return ReadFileVersion(path, high, low) ? FileVersionText(high, low) : L"0.0.0.0";
}

std::vector<WideString> WinSearchMachine::Subfolders(const WideString& folder) {
    std::vector<WideString> names;
    WIN32_FIND_DATAW found;
    ScopedFind lookup(::FindFirstFileW((folder + L"*").c_str(), &found));
    if (!lookup) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const WideString name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        names.push_back(name);
    } while (::FindNextFileW(lookup.Get(), &found));
    return names;
}

void WinSearchMachine::DisableRedirection() { DisableFsRedirection(redirection_); }

void WinSearchMachine::RestoreRedirection() { RestoreFsRedirection(redirection_); }

bool WinSearchMachine::ProductVersion(const WideString& productCode, WideString& version) {
    const MsiEntries& msi = Msi();
    if (!msi.GetProductInfo) return false;
    DWORD size = 0;
    wchar_t empty[1] = {0};
    UINT status = msi.GetProductInfo(productCode.c_str(), L"VersionString", empty, &size);
    if (status == kMoreData) {
        WideString buffer(static_cast<size_t>(size) + 1, L'\0');
        size = size + 1;
        status = msi.GetProductInfo(productCode.c_str(), L"VersionString", &buffer[0], &size);
        if (status == ERROR_SUCCESS) {
            version.assign(buffer.c_str());
            return true;
        }
        return false;
    }
    if (status != ERROR_SUCCESS) return false;
    version.clear();
    return true;
}

std::vector<WideString> WinSearchMachine::RelatedProducts(const WideString& upgradeCode) {
    std::vector<WideString> products;
    const MsiEntries& msi = Msi();
    if (!msi.EnumRelatedProducts) return products;
    for (DWORD index = 0;; ++index) {
        wchar_t product[39] = {};
        if (msi.EnumRelatedProducts(upgradeCode.c_str(), 0, index, product) != ERROR_SUCCESS) break;
        size_t length = 0;
        while (length < 38 && product[length]) ++length;
        products.push_back(WideString(product, length));
    }
    return products;
}

bool WinSearchMachine::ComponentInstalled(const WideString& componentCode) {
    const MsiEntries& msi = Msi();
    if (!msi.LocateComponent) return false;
    DWORD size = 0;
    wchar_t empty[1] = {0};
    INT state = msi.LocateComponent(componentCode.c_str(), empty, &size);
    if (state == kInstallStateMoreData) {
        WideString buffer(static_cast<size_t>(size) + 1, L'\0');
        size = size + 1;
        state = msi.LocateComponent(componentCode.c_str(), &buffer[0], &size);
    }
    return state == kInstallStateLocal || state == kInstallStateSource;
}

WideString WinSearchMachine::ExpandReferences(const WideString& text) { return resolver_.ExpandReferences(text); }

WideString WinSearchMachine::PackageFilePath(const WideString& fileName) { return config_.PackageFilePath(fileName); }

bool WinSearchMachine::RunProgram(const WideString& program, const WideString& arguments, bool hidden,
                                  uint32_t& exitCode) {
    return LaunchFile(program, arguments, &exitCode, hidden);
}
