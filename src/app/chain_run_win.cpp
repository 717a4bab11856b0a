#include "app/chain_run_win.h"

#include <windows.h>
#include <objbase.h>

#include "base/narrow_text_win.h"
#include "base/string_table_win.h"
#include "detect/platform_win.h"
#include "download/web_sites_win.h"
#include "install/launch_win.h"
#include "install/reboot_win.h"
#include "install/run_at_logon_win.h"
#include "detect/searches.h"
#include "download/download_available_win.h"
#include "log/log_file_win.h"

const WideString& WinDecisionHost::WindowsVersionName() { return ::WindowsVersionName(); }

PlatformClass WinDecisionHost::GetPlatformClass() { return ::GetPlatformClass(); }

uint16_t WinDecisionHost::SystemDefaultLangId() { return ::GetSystemDefaultLangID(); }

WideString WinDecisionHost::LanguageName(uint16_t langId) {
    wchar_t name[256] = {};
    const int length = ::GetLocaleInfoW(MAKELCID(langId, SORT_DEFAULT), LOCALE_SLANGUAGE, name, 256);
    return length > 0 ? WideString(name, static_cast<size_t>(length - 1)) : WideString();
}

bool WinDecisionHost::EvaluateSearches(const Prerequisite& prereq, bool view64) {
    return ::EvaluateSearches(prereq, view64, machine_);
}

bool WinDecisionHost::IsDownloadAvailable(const Prerequisite& prereq) {
    return ::IsDownloadAvailable(config_.DownloadFolderPath(), prereq.Location, prereq.Folder, prereq.ExactSize);
}

void WinDecisionHost::LogLine(const WideString& text) {
    if (LogEnabled) Log.WriteLine(text);
}

void WinChainHost::ShowPreparing(uint32_t stringId) { app_.Preparing().Show(stringId); }

void WinChainHost::ClosePreparing() { app_.Preparing().Close(); }

namespace {

struct ComJob {
    void (*Job)(void*);
    void* Context;
};

// The command search starts programs through the shell, which wants COM on
// the calling thread; the worker gets its own apartment, as the main thread has.
void RunInApartment(void* context) {
    const ComJob& job = *static_cast<const ComJob*>(context);
    const HRESULT com = ::CoInitialize(nullptr);
    job.Job(job.Context);
    if (com == S_OK) ::CoUninitialize();
}

}  // namespace

void WinChainHost::RunDetection(void (*job)(void*), void* context) {
    ComJob wrapped{job, context};
    RunWithMessagePump(RunInApartment, &wrapped);
}

void WinChainHost::DeleteInterbootKey() { ::RegDeleteKeyA(HKEY_CURRENT_USER, "InterbootContext"); }

bool WinChainHost::LaunchFile(const WideString& path, const WideString& arguments, uint32_t& exitCode,
                              uint32_t& error) {
    const bool launched = ::LaunchFile(path, arguments, &exitCode, false);
    error = launched ? 0 : ::GetLastError();
    return launched;
}

void WinChainHost::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

bool WinChainHost::RequestReboot(bool silent, bool& refused) { return ::RequestReboot(silent, refused); }

bool WinChainHost::RegisterRunAtLogon(const WideString& command, const WideString& arguments) {
    return ::RegisterRunAtLogon(command, arguments);
}

NarrowText WinChainHost::AnsiText(const WideString& text) { return ThreadAnsiText(text); }

WideString WinChainHost::StringText(uint32_t stringId) { return LoadStringText(stringId); }

WideString WinChainHost::SystemErrorText(uint32_t code) { return FormatSystemError(code); }

void WinChainHost::OpenSite(const WideString& url) { ::OpenSite(url); }
