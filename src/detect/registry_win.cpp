#include "detect/registry_win.h"

#include <vector>

#include "base/number_text.h"
#include "detect/platform_win.h"

namespace {

// Registry data as text: at most the data's size, cut at the first NUL, so
// that data without a terminating NUL (or with an odd byte count) is still
// read safely.
WideString TextOfData(const std::vector<BYTE>& data, DWORD size) {
    const size_t units = size / sizeof(wchar_t);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
    size_t length = 0;
    while (length < units && text[length] != 0) ++length;
    return WideString(text, length);
}

// Reads a value whatever its size: first into `initial` bytes, then once
// more with the size Windows asked for. The value may grow in between; that
// is read as a failure, as Windows reports it.
LONG QueryValue(HKEY key, const WideString& name, DWORD initial, DWORD& type, std::vector<BYTE>& data,
                DWORD& size) {
    data.assign(initial + sizeof(wchar_t), 0);
    size = initial;
    LONG status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) {
        const DWORD needed = size + 1;
        data.assign(static_cast<size_t>(needed) + sizeof(wchar_t), 0);
        size = needed;
        status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    }
    return status;
}

}  // namespace

HKEY RootKey(RegistryRoot root) {
    switch (root) {
        case RootLocalMachine: return HKEY_LOCAL_MACHINE;
        case RootCurrentUser: return HKEY_CURRENT_USER;
        case RootClassesRoot: return HKEY_CLASSES_ROOT;
        case RootCurrentConfig: return HKEY_CURRENT_CONFIG;
        default: return HKEY_USERS;
    }
}

REGSAM SearchAccess(bool view64) {
    REGSAM access = KEY_READ;
    if (view64 && GetPlatformClass() == WinNT64) {
        access |= KEY_WOW64_64KEY;
    }
#ifdef _WIN64
    // The chainer is a 32-bit program, whose plain view of the registry is
    // the 32-bit one. A 64-bit build (the tests' stand-in on hosts that
    // cannot run 32-bit code) asks for that view so that it sees the same.
    else {
        access |= KEY_WOW64_32KEY;
    }
#endif
    return access;
}

ScopedRegKey OpenRegistryKey(const RegistryKeyPath& key, bool view64) {
    ScopedRegKey opened;
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(RootKey(key.Root), key.SubKey.c_str(), 0, SearchAccess(view64), &handle) == ERROR_SUCCESS) {
        opened.Reset(handle);
    }
    return opened;
}

ScopedRegKey OpenRegistryPath(const WideString& keyPath, bool view64) {
    RegistryKeyPath key;
    if (!ParseRegistryKeyPath(keyPath, key)) return ScopedRegKey();
    return OpenRegistryKey(key, view64);
}

bool ReadValueText(HKEY key, const WideString& name, WideString& text) {
    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> data;
    if (QueryValue(key, name, 200, type, data, size) != ERROR_SUCCESS) return false;
    if (type == REG_SZ) {
        text = TextOfData(data, size);
        return true;
    }
    // A REG_DWORD with fewer than four bytes of data holds no number; it is
    // read as a failure rather than as whatever the buffer held.
    if (type == REG_DWORD && size >= sizeof(DWORD)) {
        DWORD number = 0;
        memcpy(&number, data.data(), sizeof number);
        text = UnsignedText(number);
        return true;
    }
    return false;
}

bool ReadValueData(HKEY key, const WideString& name, WideString& text) {
    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> data;
    if (QueryValue(key, name, 200, type, data, size) != ERROR_SUCCESS) return false;
    text = TextOfData(data, size);
    return true;
}
