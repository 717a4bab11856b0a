#pragma once

#include "base/wide_string.h"

// Where references get their values. The Windows build answers from the
// system; tests answer from tables.
class PropertySource {
public:
    virtual ~PropertySource() = default;
    // A folder property such as "ProgramFilesFolder"; false when the name is
    // not one or the folder cannot be determined.
    virtual bool FolderProperty(const WideString& name, WideString& folder) = 0;
    // An environment variable's value; empty when it does not exist.
    virtual WideString EnvironmentValue(const WideString& name) = 0;
    // A registry value named by a value path; empty when it cannot be read.
    virtual WideString RegistryValue(const WideString& valuePath) = 0;
};

// One pass from left to right: "[Folder]" becomes the folder (or stays as
// written when unknown), "%Variable%" its value, "!Root\Key\Value!" the
// value's text. Replacements are not scanned again; an opening character
// without its closing one is copied with the rest of the text.
WideString ExpandReferences(const WideString& text, PropertySource& source);
