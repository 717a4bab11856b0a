#include "config/config_environment_win.h"

#include "fs/files_win.h"

WideString WinConfigEnvironment::ExpandReferences(const WideString& text) {
    // Folder, environment and registry references are expanded by the
    // detection subsystem's property resolver, which is not built yet: until
    // then texts are taken as written.
    return text;
}

WideString WinConfigEnvironment::TempFolder() { return GetTempFolder(); }
