#pragma once

#include "base/wide_string.h"
#include "detect/property_expansion.h"

// Expands configuration texts against this machine: folder properties,
// environment variables and registry values.
class PropertyResolver : public PropertySource {
public:
    WideString ExpandReferences(const WideString& text);

    // The folder's path ending with "\", or false when the name is not a
    // folder property or the folder cannot be determined.
    bool ResolveFolderProperty(const WideString& name, WideString& folder);

    bool FolderProperty(const WideString& name, WideString& folder) override;
    WideString EnvironmentValue(const WideString& name) override;
    WideString RegistryValue(const WideString& valuePath) override;
};

// The folder of the chainer's own executable, up to and including the last
// "\" of its module path; computed once.
const WideString& SetupExeDir();

// Whether the shell (Shlwapi.dll or Shell32.dll) is version 5 or later;
// computed once.
bool ShellIsVersion5OrLater();
