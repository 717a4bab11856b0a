#pragma once

#include <windows.h>

#include "base/scoped_win.h"
#include "base/wide_string.h"
#include "detect/registry_path.h"

HKEY RootKey(RegistryRoot root);

// The access a search opens keys with: KEY_READ, plus the 64-bit view when
// asked for on 64-bit Windows.
REGSAM SearchAccess(bool view64);

// Opens "ROOT\sub\key"; an invalid key when the path names none or the key
// does not open.
ScopedRegKey OpenRegistryPath(const WideString& keyPath, bool view64);
ScopedRegKey OpenRegistryKey(const RegistryKeyPath& key, bool view64);

// The typed reading of a value: REG_SZ as its text up to the first NUL,
// REG_DWORD in unsigned decimal. False for any other type or any error.
bool ReadValueText(HKEY key, const WideString& name, WideString& text);

// The value's data whatever its type, as UTF-16 up to its first NUL.
bool ReadValueData(HKEY key, const WideString& name, WideString& text);
