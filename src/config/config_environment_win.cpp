#include "config/config_environment_win.h"

#include "detect/property_resolver_win.h"
#include "fs/files_win.h"

WideString WinConfigEnvironment::ExpandReferences(const WideString& text) {
    PropertyResolver resolver;
    return resolver.ExpandReferences(text);
}

WideString WinConfigEnvironment::TempFolder() { return GetTempFolder(); }
