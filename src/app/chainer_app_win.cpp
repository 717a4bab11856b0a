#include "app/chainer_app_win.h"

#include <windows.h>

#include <new>

#include "app/chain_run_win.h"
#include "app/installer_idle_win.h"
#include "app/startup.h"
#include "base/scoped_win.h"
#include "config/config_environment_win.h"
#include "config/ini_document.h"
#include "config/setup_config.h"
#include "fs/paths.h"
#include "log/log_file_win.h"
#include "resources/resource.h"

bool Interactive = true;

int32_t ChainerApp::Run() {
    // The module path is read into a MAX_PATH buffer; a longer path comes back
    // cut, and its configuration is then simply not found.
    wchar_t module[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    ModulePath.assign(module, length);
    ModuleFolder = ParentFolder(ModulePath);
    IniPath = IniPathForModule(ModulePath);

    // No configuration beside the executable: nothing to do, nothing written.
    WIN32_FIND_DATAW found;
    ScopedFind lookup(::FindFirstFileW(IniPath.c_str(), &found));
    if (!lookup) return 0;
    const uint32_t iniSize = found.nFileSizeLow;

    // A file that cannot be read leaves the document empty; the run goes on.
    IniDocument document;
    document.LoadFile(IniPath, iniSize);

    WinConfigEnvironment environment;
    SetupConfig config;
    ChainerOptions chainer;
    try {
        config.Load(document, environment);
        chainer.Read(document);
    } catch (const std::bad_alloc&) {
        // A configuration too large to hold is one that cannot be read: the
        // run goes on with an empty one, as it does for an unreadable file.
        document.Sections.clear();
        config.Prerequisites.clear();
        config.GeneralOptions = GeneralOptions();
        chainer = ChainerOptions();
    }

    // The log is opened by its first line, not here.
    if (!chainer.LogFile.empty()) {
        LogEnabled = true;
        Log.SetPath(chainer.LogFile);
    }

    Silent = config.IsSilentMode();
    Interactive = !Silent;
    ExtractionFolderPath = config.ExtractionFolderPath();

    // Outside silent mode the user sees something from here on.
    preparing_.SetModulePath(ModulePath);
    preparing_.Show(IDS_PREPARING);

    // Bare names handed to the shell later resolve from the package folder.
    ::SetCurrentDirectoryW(ModuleFolder.c_str());

    if (WaitForInstallerIdle() != 0) return 0;

    WinChainHost host(*this, config);
    ExitCode = RunChain(config, host);
    return 0;
}
