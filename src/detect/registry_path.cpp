#include "detect/registry_path.h"

#include "base/ascii_case.h"

namespace {

RegistryRoot RootFromName(const WideString& name) {
    if (EqualsIgnoringAsciiCase(name, L"HKLM") || EqualsIgnoringAsciiCase(name, L"HKEY_LOCAL_MACHINE"))
        return RootLocalMachine;
    if (EqualsIgnoringAsciiCase(name, L"HKCU") || EqualsIgnoringAsciiCase(name, L"HKEY_CURRENT_USER"))
        return RootCurrentUser;
    if (EqualsIgnoringAsciiCase(name, L"HKCR") || EqualsIgnoringAsciiCase(name, L"HKEY_CLASSES_ROOT"))
        return RootClassesRoot;
    if (EqualsIgnoringAsciiCase(name, L"HKCC") || EqualsIgnoringAsciiCase(name, L"HKEY_CURRENT_CONFIG"))
        return RootCurrentConfig;
    return RootUsers;
}

}  // namespace

bool ParseRegistryKeyPath(const WideString& path, RegistryKeyPath& key) {
    const size_t separator = path.find(L'\\');
    if (separator == WideString::npos) return false;
    key.Root = RootFromName(path.substr(0, separator));
    key.SubKey = path.substr(separator + 1);
    return true;
}

bool SplitRegistryValuePath(const WideString& path, WideString& keyPath, WideString& valueName) {
    const size_t separator = path.rfind(L'\\');
    if (separator == WideString::npos) return false;
    keyPath = path.substr(0, separator);
    valueName = path.substr(separator + 1);
    return true;
}
