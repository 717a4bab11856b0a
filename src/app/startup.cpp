#include "app/startup.h"

#include "fs/paths.h"

WideString IniPathForModule(const WideString& modulePath) {
    WideString iniPath = ParentFolder(modulePath);
    AppendBackslash(iniPath);
    const size_t slash = modulePath.rfind(L'\\');
    WideString baseName = slash == WideString::npos ? modulePath : modulePath.substr(slash + 1);
    const size_t dot = baseName.rfind(L'.');
    if (dot != WideString::npos) baseName.erase(dot);
    return iniPath + baseName + L".ini";
}
