#include <objbase.h>
#include <windows.h>

#include "app/chainer_app_win.h"

// Arguments and show state are deliberately ignored: everything the chainer
// does is decided by its configuration file.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const HRESULT com = ::CoInitialize(nullptr);
    int32_t exitCode = 0;
    {
        // Destroying the application object runs the clean-up, after the chain.
        ChainerApp app;
        app.Run();
        exitCode = app.ExitCode;
    }
    if (com == S_OK) ::CoUninitialize();
    return exitCode;
}
