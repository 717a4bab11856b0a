#include "detect/registry_path.h"

namespace {

// ASCII-only case folding: root names are plain ASCII, and the C library's
// locale-dependent folding is not wanted here.
bool EqualsIgnoringCase(const WideString& text, const wchar_t* name) {
    size_t i = 0;
    for (; i < text.size() && name[i]; ++i) {
        wchar_t a = text[i];
        wchar_t b = name[i];
        if (a >= L'a' && a <= L'z') a = static_cast<wchar_t>(a - L'a' + L'A');
        if (b >= L'a' && b <= L'z') b = static_cast<wchar_t>(b - L'a' + L'A');
        if (a != b) return false;
    }
    return i == text.size() && name[i] == 0;
}

RegistryRoot RootFromName(const WideString& name) {
    if (EqualsIgnoringCase(name, L"HKLM") || EqualsIgnoringCase(name, L"HKEY_LOCAL_MACHINE"))
        return RootLocalMachine;
    if (EqualsIgnoringCase(name, L"HKCU") || EqualsIgnoringCase(name, L"HKEY_CURRENT_USER"))
        return RootCurrentUser;
    if (EqualsIgnoringCase(name, L"HKCR") || EqualsIgnoringCase(name, L"HKEY_CLASSES_ROOT"))
        return RootClassesRoot;
    if (EqualsIgnoringCase(name, L"HKCC") || EqualsIgnoringCase(name, L"HKEY_CURRENT_CONFIG"))
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
