#include "ui/preparing_window_win.h"

#include <vector>

#include "app/chainer_app_win.h"
#include "base/format_text.h"
#include "base/number_text.h"
#include "base/string_table_win.h"
#include "resources/resource.h"
#include "ui/centre_window_win.h"

namespace {

// The ProductName of a file's version resource, for its first listed
// translation; empty when the file has none.
WideString ReadProductName(const WideString& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return WideString();
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return WideString();

    // Without a translation list, US English in the Central European code
    // page is assumed.
    unsigned language = 1033;
    unsigned codePage = 1250;
    void* translation = nullptr;
    UINT translationBytes = 0;
    if (::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &translation, &translationBytes) &&
        translation && translationBytes >= 2 * sizeof(WORD)) {
        const WORD* pair = static_cast<const WORD*>(translation);
        language = pair[0];
        codePage = pair[1];
    }
    const WideString query =
        L"\\StringFileInfo\\" + HexPadded(language, 4) + HexPadded(codePage, 4) + L"\\ProductName";
    void* value = nullptr;
    UINT valueChars = 0;
    if (!::VerQueryValueW(data.data(), query.c_str(), &value, &valueChars) || !value) return WideString();
    // The reported length may or may not count the terminating NUL.
    const wchar_t* text = static_cast<const wchar_t*>(value);
    size_t length = 0;
    while (length < valueChars && text[length] != L'\0') ++length;
    return WideString(text, length);
}

INT_PTR CALLBACK PreparingDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    // Shared icons belong to the system: nothing to free when the window goes.
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const HANDLE large = ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_CHAINER), IMAGE_ICON,
                                      ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
    const HANDLE small = ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_CHAINER), IMAGE_ICON,
                                      ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    if (large) ::SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    if (small) ::SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    CentreWindow(dialog);
    return TRUE;
}

struct PumpedJob {
    MessagePumpJob job;
    void* context;
};

DWORD WINAPI RunPumpedJob(void* parameter) {
    const PumpedJob* pumped = static_cast<const PumpedJob*>(parameter);
    pumped->job(pumped->context);
    return 0;
}

}  // namespace

const WideString& PreparingWindow::SetupTitle() {
    if (!titleKnown_) {
        const WideString productName = ReadProductName(modulePath_);
        setupTitle_ = FormatText(LoadStringText(IDS_SETUP_TITLE), productName.empty() ? modulePath_ : productName);
        titleKnown_ = true;
    }
    return setupTitle_;
}

void PreparingWindow::Show(uint32_t textId) {
    if (!Interactive) return;
    if (!created_) {
        created_ = true;
        window_.Reset(::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PREPARING),
                                           ::GetActiveWindow(), PreparingDialogProc, 0));
        creatingThreadId_ = ::GetCurrentThreadId();
    }
    if (!window_) return;
    ::SetWindowTextW(window_.Get(), SetupTitle().c_str());
    ::SetDlgItemTextW(window_.Get(), IDC_PREPARING_STATUS, LoadStringText(textId).c_str());
    // The thread may go on to block (on the installer mutex, for one) before
    // it serves messages again; paint the new text now.
    ::UpdateWindow(window_.Get());
}

void PreparingWindow::Close() { window_.Reset(); }

void RunWithMessagePump(MessagePumpJob job, void* context) {
    PumpedJob pumped = {job, context};
    ScopedHandle thread(::CreateThread(nullptr, 0, RunPumpedJob, &pumped, 0, nullptr));
    if (!thread) return;
    HANDLE handles[1] = {thread.Get()};
    // The wait only wakes for input that arrived since the queue was last
    // looked at, so everything queued is served before waiting again; a
    // message left behind would wait for the next one to arrive.
    while (::MsgWaitForMultipleObjects(1, handles, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}
