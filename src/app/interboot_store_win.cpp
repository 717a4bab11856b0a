#include "app/interboot_store_win.h"

#include <windows.h>

#include <vector>

#include "base/scoped_win.h"

int32_t WinRegistryStore::SetString(const NarrowText& name, const NarrowText& text) {
    NarrowText existing;
    if (GetString(name, existing) == kOk) return kExists;
    ScopedRegKey key;
    if (::RegCreateKeyA(HKEY_CURRENT_USER, KeyPath.c_str(), key.Receive()) != ERROR_SUCCESS) return kOk;
    // The text's bytes and one terminating zero byte.
    ::RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    return kOk;
}

int32_t WinRegistryStore::GetString(const NarrowText& name, NarrowText& text) {
    ScopedRegKey key;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, KeyPath.c_str(), key.Receive()) != ERROR_SUCCESS) return kFailed;
    std::vector<char> data(260 + 1, 0);
    DWORD size = 260;
    LONG status = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_MORE_DATA) {
        data.assign(static_cast<size_t>(size) + 1, 0);
        status = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(data.data()), &size);
    }
    if (status != ERROR_SUCCESS) return kFailed;
    // Up to the first zero byte, never beyond what the registry reported.
    size_t length = 0;
    while (length < size && length < data.size() && data[length] != 0) ++length;
    text = NarrowText(data.data(), length);
    return kOk;
}
