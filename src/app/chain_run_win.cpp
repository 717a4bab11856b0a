#include "app/chain_run_win.h"

#include <windows.h>
#include <objbase.h>

#include "detect/platform_win.h"
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
