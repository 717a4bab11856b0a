#pragma once

#include "base/wide_string.h"

// The registry roots a configuration can name. Anything that is not one of
// the known spellings means HKEY_USERS.
enum RegistryRoot {
    RootLocalMachine,
    RootCurrentUser,
    RootClassesRoot,
    RootCurrentConfig,
    RootUsers,
};

struct RegistryKeyPath {
    RegistryRoot Root = RootUsers;
    WideString SubKey;
};

// "ROOT\sub\key": the root is the text before the first "\", compared without
// regard to case; the subkey is everything after it. False for a text
// without any "\", which names no key that could be opened.
bool ParseRegistryKeyPath(const WideString& path, RegistryKeyPath& key);

// "ROOT\sub\key\value": the value name is everything after the last "\" (empty
// for the default value), the key path everything before it. False when the
// text has no "\" at all.
bool SplitRegistryValuePath(const WideString& path, WideString& keyPath, WideString& valueName);
